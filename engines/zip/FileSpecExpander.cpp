#include "FileSpecExpander.h"

#include "StoredName.h"
#include "wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>

namespace tesk::zip {
namespace {

// Only a pattern taking every name stands for the folders too; "*.jpg" picks files.
bool TakesFolders(const std::string &pattern) { return pattern == "*" || pattern == "*.*"; }

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
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
        const std::string folder =
            folderSpec.empty() ? options_.base : (folderSpec[0] == '/' ? folderSpec
                                                                       : JoinPath(options_.base, folderSpec));
        return ExpandPattern(folder, StoredPathOf(options_.base, folderSpec.empty() ? "." : folderSpec),
                             last);
    }

    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) {
            // A link whose target is missing was named on purpose and cannot be read.
            reporter_.Error("zip error: cannot read " + rawSpec + ": " + std::strerror(errno));
            return ZP_ERR_READ;
        }
        return ZP_OK;  // not matched
    }
    const std::string stored = StoredPathOf(options_.base, spec);
    if (S_ISDIR(info.st_mode)) {
        matched_ = true;
        if (options_.recurse) return List(path, stored, "*", true);
        AddFolder(path, stored, info);
        return ZP_OK;
    }
    return AddFile(path, stored, info);
}

int32_t FileSpecExpander::ExpandPattern(const std::string &folder, const std::string &storedFolder,
                                        const std::string &pattern) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return ZP_OK;
    return List(folder, storedFolder, pattern, options_.recurse);
}

int32_t FileSpecExpander::List(const std::string &folder, const std::string &storedFolder,
                               const std::string &pattern, bool descend) {
    // "dir/*.*" also stands for the folder itself.
    struct stat info {};
    if (TakesFolders(pattern) && ::stat(folder.c_str(), &info) == 0)
        AddFolder(folder, storedFolder, info);
    std::vector<std::string> names;
    int32_t code = ZP_OK;
    if (!ListFolder(folder, names, code)) return code;
    for (const auto &name : names)
        if (const int32_t c = ConsiderListed(folder, storedFolder, name, pattern, descend); c != ZP_OK)
            return c;
    return ZP_OK;
}

int32_t FileSpecExpander::ConsiderListed(const std::string &folder, const std::string &storedFolder,
                                         const std::string &name, const std::string &pattern,
                                         bool walking) {
    const std::string path = JoinPath(folder, name);
    const std::string stored = JoinStored(storedFolder, name);
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return ZP_OK;  // vanished meanwhile
    struct stat info = link;
    if (S_ISLNK(link.st_mode)) {
        if (::stat(path.c_str(), &info) != 0) {
            if (FileSpecMatch(pattern, name, true))
                reporter_.Warning("zip warning: skipped dangling link: " + stored);
            return ZP_OK;
        }
        if (S_ISDIR(info.st_mode)) return ZP_OK;  // never descend a linked folder
    }
    if (S_ISDIR(info.st_mode)) return walking ? List(path, stored, pattern, true) : ZP_OK;
    if (!FileSpecMatch(pattern, name, true)) return ZP_OK;
    return AddFile(path, stored, info);
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

bool FileSpecExpander::ListFolder(const std::string &folder, std::vector<std::string> &names,
                                  int32_t &code) {
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) {
        reporter_.Error("zip error: cannot read folder " + folder + ": " + std::strerror(errno));
        code = ZP_ERR_READ;
        return false;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

}  // namespace tesk::zip
