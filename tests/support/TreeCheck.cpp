#include "TreeCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace treecheck {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Children of a folder descriptor, without "." and "..", sorted.
std::vector<std::string> Children(int folderFd) {
    std::vector<std::string> names;
    const int dupFd = dup(folderFd);
    DIR *dir = dupFd < 0 ? nullptr : fdopendir(dupFd);
    if (!dir) {
        if (dupFd >= 0) close(dupFd);
        return names;
    }
    rewinddir(dir);
    while (const dirent *e = readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadLinkAt(int folderFd, const std::string &name, off_t size) {
    std::vector<char> buffer(static_cast<size_t>(size) + 2);
    const ssize_t n = readlinkat(folderFd, name.c_str(), buffer.data(), buffer.size() - 1);
    return std::string(buffer.data(), n < 0 ? 0 : static_cast<size_t>(n));
}

// Calls visit for each child of a folder descriptor (never following links), going into the
// child folders unless visit clears enter, and calls leave for a folder once it was walked.
// Stops, returning false, when visit does.
using Visit = std::function<bool(int folderFd, const std::string &name, const struct stat &st,
                                 const std::vector<std::string> &at, bool &enter)>;
using Leave = std::function<void(int folderFd, const std::string &name)>;

bool Walk(int folderFd, std::vector<std::string> &at, const Visit &visit, const Leave &leave) {
    for (const std::string &name : Children(folderFd)) {
        struct stat st {};
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        bool enter = S_ISDIR(st.st_mode);
        if (!visit(folderFd, name, st, at, enter)) return false;
        if (!enter) continue;
        const int child = openat(folderFd, name.c_str(), kFolderFlags);
        if (child < 0) {
            if (leave) leave(folderFd, name);
            continue;
        }
        at.push_back(name);
        const bool going = Walk(child, at, visit, leave);
        at.pop_back();
        close(child);
        if (!going) return false;
        if (leave) leave(folderFd, name);
    }
    return true;
}

bool WalkFrom(const std::string &root, const Visit &visit, const Leave &leave = {}) {
    const int fd = open(root.c_str(), kFolderFlags);
    if (fd < 0) return true;
    std::vector<std::string> at;
    const bool going = Walk(fd, at, visit, leave);
    close(fd);
    return going;
}

std::string Joined(const std::vector<std::string> &parts, const std::string &last) {
    std::string path;
    for (const auto &p : parts) path += p + "/";
    return path + last;
}

// Resolves a link target the way the system would, starting from the folder at `at`
// (parts below dest). Returns false when the walk leaves dest. Parts that do not exist are
// taken as folders that could still be made.
bool ResolvesInside(const std::string &dest, std::vector<std::string> at, const std::string &target,
                    int depth) {
    if (depth > 40) return true;  // a loop: the system refuses it too
    if (!target.empty() && target[0] == '/') return false;
    std::vector<std::string> parts;
    for (size_t start = 0, end; start <= target.size(); start = end + 1) {
        end = std::min(target.find('/', start), target.size());
        parts.push_back(target.substr(start, end - start));
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (at.empty()) return false;
            at.pop_back();
            continue;
        }
        const std::string path = dest + "/" + Joined(at, part);
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            std::string rest = ReadLinkAt(AT_FDCWD, path, st.st_size);
            for (size_t k = i + 1; k < parts.size(); ++k) rest += "/" + parts[k];
            return ResolvesInside(dest, at, rest, depth + 1);
        }
        at.push_back(part);
    }
    return true;
}

std::string Shown(const std::string &part) {
    return part.size() > 40 ? "<" + std::to_string(part.size()) + " bytes>" : part;
}

// A file's content, or its length (and CRC) when it is over 64 bytes.
std::string Content(int folderFd, const std::string &name, off_t size, bool crc) {
    if (size > 64 && !crc) return std::to_string(size) + " bytes";
    std::string bytes;
    char buffer[65536];
    const int fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<size_t>(n));
    if (fd >= 0) close(fd);
    if (size <= 64) return bytes;
    return std::to_string(size) + " bytes, CRC " +
           std::to_string(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()),
                                static_cast<uInt>(bytes.size())));
}

}  // namespace

void RemoveTree(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path.c_str());
        return;
    }
    // Through folder descriptors, so that any depth goes.
    WalkFrom(
        path,
        [](int fd, const std::string &name, const struct stat &s, const std::vector<std::string> &,
           bool &) {
            if (S_ISDIR(s.st_mode))
                fchmodat(fd, name.c_str(), 0700, 0);
            else
                unlinkat(fd, name.c_str(), 0);
            return true;
        },
        [](int fd, const std::string &name) { unlinkat(fd, name.c_str(), AT_REMOVEDIR); });
    rmdir(path.c_str());
}

bool TreeStaysInside(const std::string &dest, const std::string &allowedLink) {
    return WalkFrom(dest, [&](int fd, const std::string &name, const struct stat &st,
                              const std::vector<std::string> &at, bool &) {
        const std::string relative = Joined(at, name);
        if (!S_ISLNK(st.st_mode) || relative == allowedLink) return true;
        const std::string target = ReadLinkAt(fd, name, st.st_size);
        if (ResolvesInside(dest, at, target, 0)) return true;
        std::fprintf(stderr, "link %s -> %s leaves the destination\n", relative.c_str(),
                     target.c_str());
        return false;
    });
}

std::string Listing(const std::string &folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return "?";
    std::string joined;
    for (const std::string &name : Children(fd)) joined += (joined.empty() ? "" : "/") + name;
    close(fd);
    return joined;
}

std::string DescribeTree(const std::string &root, bool crc) {
    struct stat st {};
    if (lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "?";
    std::set<std::string> lines;
    WalkFrom(root, [&](int fd, const std::string &name, const struct stat &s,
                       const std::vector<std::string> &at, bool &) {
        std::string path;
        for (const auto &p : at) path += Shown(p) + "/";
        path += Shown(name);
        if (S_ISLNK(s.st_mode))
            lines.insert(path + " -> @" + ReadLinkAt(fd, name, s.st_size));
        else if (S_ISDIR(s.st_mode))
            lines.insert(path + "/");
        else
            lines.insert(path + " -> " + Content(fd, name, s.st_size, crc));
        return true;
    });
    std::string text;
    for (const auto &line : lines) text += line + "\n";
    return text;
}

}  // namespace treecheck
