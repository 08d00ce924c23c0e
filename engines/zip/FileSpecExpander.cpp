#include "FileSpecExpander.h"

#include "PathAccess.h"
#include "StoredName.h"
#include "wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace tesk::zip {
namespace {

// Only a pattern taking every name stands for the folders too; "*.jpg" picks files.
bool TakesFolders(const std::string &pattern) { return pattern == "*" || pattern == "*.*"; }

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// A missing file is not matched; anything else that stops a stat is a failure to report.
bool IsMissing(int error) { return error == ENOENT || error == ENOTDIR; }

std::string ReadLinkAt(int folder, const std::string &name, std::size_t sizeHint) {
    std::string target(std::max<std::size_t>(sizeHint, 64), '\0');
    for (;;) {
        const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

const char *KindOf(mode_t mode) {
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "a special file";
}

}  // namespace

int32_t FileSpecExpander::Expand(const std::vector<std::string> &specs,
                                 std::vector<FoundItem> &items) {
    items_ = &items;
    for (const auto &spec : specs) {
        if (spec.empty()) continue;
        matched_ = false;
        if (const int32_t code = ExpandOne(spec); code != ZP_OK) return code;
        if (!matched_) reporter_.Warning("zip warning: name not matched: " + spec);
    }
    return ZP_OK;
}

void FileSpecExpander::Lose(const std::string &what) { losses_.Add(reporter_, "zip warning: " + what); }

int32_t FileSpecExpander::ExpandOne(const std::string &rawSpec) {
    std::string spec = ToForwardSlashes(rawSpec);
    bool namesFolder = false;
    while (spec.size() > 1 && spec.back() == '/') {
        spec.pop_back();
        namesFolder = true;
    }
    const std::string path = spec[0] == '/' ? spec : JoinPath(options_.base, spec);
    const auto slash = spec.rfind('/');
    const std::string last = slash == std::string::npos ? spec : spec.substr(slash + 1);

    if (HasWildcards(last) && !namesFolder) {
        const std::string folderSpec = slash == std::string::npos ? "" : spec.substr(0, slash + 1);
        std::string folder =
            folderSpec.empty() ? options_.base : (folderSpec[0] == '/' ? folderSpec
                                                                       : JoinPath(options_.base, folderSpec));
        if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return ExpandPattern(folder, StoredPathOf(options_.base, folderSpec.empty() ? "." : folderSpec),
                             last);
    }

    struct stat info {};
    if (!StatPath(path, info, true)) {
        const int error = errno;
        struct stat link {};
        // A link whose target is missing, or a file in a folder that cannot be entered, was
        // named on purpose and cannot be read.
        if (!IsMissing(error) || StatPath(path, link, false)) {
            reporter_.Error("zip error: cannot read " + rawSpec + ": " + std::strerror(error));
            return ZP_ERR_READ;
        }
        // A file named without wildcards was chosen: missing, it is a loss.
        matched_ = true;
        ++missingNames_;
        Lose("name not matched: " + rawSpec + ": " + std::strerror(error));
        return ZP_OK;
    }
    const std::string stored = StoredPathOf(options_.base, spec);
    if (S_ISDIR(info.st_mode)) {
        matched_ = true;
        if (options_.recurse) return List(path, stored, info, "*", true);
        AddFolder(path, stored, info);
        return ZP_OK;
    }
    return AddFile(path, stored, info);
}

int32_t FileSpecExpander::ExpandPattern(const std::string &folder, const std::string &storedFolder,
                                        const std::string &pattern) {
    struct stat info {};
    if (!StatPath(folder, info, true)) {
        const int error = errno;
        if (!IsMissing(error)) Lose("cannot read folder " + folder + ": " + std::strerror(error));
        return ZP_OK;
    }
    if (!S_ISDIR(info.st_mode)) return ZP_OK;
    return List(folder, storedFolder, info, pattern, options_.recurse);
}

int32_t FileSpecExpander::List(const std::string &folder, const std::string &storedFolder,
                               const struct stat &info, const std::string &pattern, bool descend) {
    // Depth first without recursion, so that a deep tree cannot exhaust the stack; only the
    // folder being read holds a descriptor.
    std::vector<Folder> stack;
    auto enter = [&](const std::string &path, const std::string &stored, const struct stat &own,
                     bool named) {
        // "dir/*.*" also stands for the folder itself.
        if (TakesFolders(pattern)) AddFolder(path, stored, own);
        Folder entered{path, stored, {}, 0};
        ReadFolder(entered, named);
        stack.push_back(std::move(entered));
    };
    enter(folder, storedFolder, info, true);
    while (!stack.empty()) {
        Folder &current = stack.back();
        if (current.next == current.names.size()) {
            stack.pop_back();
            continue;
        }
        const Listed listed = std::move(current.names[current.next++]);
        const std::string path = JoinPath(current.path, listed.name);
        const std::string stored = JoinStored(current.stored, listed.name);
        if (S_ISDIR(listed.link.st_mode)) {
            if (descend) enter(path, stored, listed.link, false);
            continue;
        }
        if (const int32_t code = ConsiderListed(path, stored, listed, pattern); code != ZP_OK)
            return code;
    }
    return ZP_OK;
}

void FileSpecExpander::ReadFolder(Folder &folder, bool mayBeLink) {
    const int fd = OpenPath(folder.path, O_RDONLY | O_DIRECTORY | O_NONBLOCK | (mayBeLink ? 0 : O_NOFOLLOW));
    DIR *dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        Lose("cannot read folder " + folder.path + ": " + std::strerror(error) +
             "; its files are left out");
        return;
    }
    int unreachable = 0, cause = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                ++unreachable;
                cause = errno;
            }
            break;
        }
        Listed listed;
        listed.name = entry->d_name;
        if (listed.name == "." || listed.name == "..") continue;
        if (::fstatat(fd, entry->d_name, &listed.link, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone since it was listed
            ++unreachable;
            cause = errno;
            continue;
        }
        listed.info = listed.link;
        if (S_ISLNK(listed.link.st_mode)) {
            if (::fstatat(fd, entry->d_name, &listed.info, 0) != 0) listed.followError = errno;
            listed.target = ReadLinkAt(fd, listed.name, static_cast<std::size_t>(listed.link.st_size) + 1);
        }
        folder.names.push_back(std::move(listed));
    }
    ::closedir(dir);
    std::sort(folder.names.begin(), folder.names.end(),
              [](const Listed &a, const Listed &b) { return a.name < b.name; });
    // A folder that can be read but not searched (mode r--) lists names whose files cannot
    // be reached.
    if (unreachable > 0)
        Lose("cannot enter folder " + folder.path + ": " + std::strerror(cause) + "; " +
             std::to_string(unreachable) + (unreachable == 1 ? " name" : " names") +
             " in it left out");
}

int32_t FileSpecExpander::ConsiderListed(const std::string &path, const std::string &stored,
                                         const Listed &listed, const std::string &pattern) {
    if (!FileSpecMatch(pattern, listed.name, true)) return ZP_OK;
    if (S_ISLNK(listed.link.st_mode) && (listed.followError != 0 || S_ISDIR(listed.info.st_mode))) {
        const std::string what = listed.followError != 0
                                     ? std::string("a link that leads nowhere (") +
                                           std::strerror(listed.followError) + ")"
                                     : std::string("a link to a folder");
        if (listed.target.empty()) {
            Lose("cannot read link " + path);  // replaced since it was listed
            return ZP_OK;
        }
        reporter_.Warning("zip warning: " + stored + " is " + what + ": stored as the link to " +
                          listed.target);
        return AddLink(path, stored, listed);
    }
    // A pipe, socket or device met in a folder (agents keep sockets in dot-folders) is left
    // out and named; the rest is archived. Named on its own, it fails the run in AddFile.
    if (!S_ISREG(listed.info.st_mode)) {
        matched_ = true;
        Lose(path + ": " + KindOf(listed.info.st_mode) + ", not a regular file; left out");
        return ZP_OK;
    }
    return AddFile(path, stored, listed.info);
}

int32_t FileSpecExpander::AddFile(const std::string &path, const std::string &storedPath,
                                  const struct stat &info) {
    if (options_.exclude && options_.exclude->first == info.st_dev &&
        options_.exclude->second == info.st_ino)
        return ZP_OK;  // the archive itself
    matched_ = true;
    if (!S_ISREG(info.st_mode)) {
        reporter_.Error("zip error: cannot read " + path + ": not a regular file");
        return ZP_ERR_READ;
    }
    FoundItem item;
    item.path = path;
    item.entryName = EntryName(storedPath, false, options_.junkDirNames);
    item.info = info;
    return Add(std::move(item));
}

void FileSpecExpander::AddFolder(const std::string &path, const std::string &storedPath,
                                 const struct stat &info) {
    matched_ = true;
    if (options_.noDirEntries || options_.junkDirNames || storedPath.empty()) return;
    FoundItem item;
    item.path = path;
    item.entryName = EntryName(storedPath, true, false);
    item.isDir = true;
    item.info = info;
    Add(std::move(item));
}

int32_t FileSpecExpander::AddLink(const std::string &path, const std::string &storedPath,
                                  const Listed &listed) {
    matched_ = true;
    FoundItem item;
    item.path = path;
    item.entryName = EntryName(storedPath, false, options_.junkDirNames);
    item.isLink = true;
    item.linkTarget = listed.target;
    item.info = listed.link;
    return Add(std::move(item));
}

int32_t FileSpecExpander::Add(FoundItem item) {
    const auto found = byName_.find(item.entryName);
    if (found == byName_.end()) {
        byName_.emplace(item.entryName, items_->size());
        items_->push_back(std::move(item));
        return ZP_OK;
    }
    const FoundItem &earlier = (*items_)[found->second];
    if (item.isDir || (earlier.info.st_dev == item.info.st_dev &&
                       earlier.info.st_ino == item.info.st_ino))
        return ZP_OK;  // the same file named twice
    reporter_.Error("zip error: two files would be stored as " + item.entryName + ": " +
                    earlier.path + " and " + item.path);
    return ZP_ERR_DUPLICATE;
}

}  // namespace tesk::zip
