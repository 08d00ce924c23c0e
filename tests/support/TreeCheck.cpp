#include "TreeCheck.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace treecheck {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Children of a folder descriptor, without "." and "..".
std::vector<std::string> Children(int folderFd) {
    std::vector<std::string> names;
    const int dupFd = dup(folderFd);
    if (dupFd < 0) return names;
    DIR *dir = fdopendir(dupFd);
    if (!dir) {
        close(dupFd);
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

void RemoveBelow(int folderFd) {
    for (const std::string &name : Children(folderFd)) {
        struct stat st {};
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            fchmodat(folderFd, name.c_str(), 0700, 0);
            const int child = openat(folderFd, name.c_str(), kFolderFlags);
            if (child >= 0) {
                RemoveBelow(child);
                close(child);
            }
            unlinkat(folderFd, name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(folderFd, name.c_str(), 0);
        }
    }
}

std::vector<std::string> Split(const std::string &text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '/') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// Resolves a link target the way the system would, starting from the folder at `at`
// (parts below dest). Returns false when the walk leaves dest. Parts that do not exist are
// taken as folders that could still be made.
bool ResolvesInside(const std::string &dest, std::vector<std::string> at, const std::string &target,
                    int depth) {
    if (depth > 40) return true;  // a loop: the system refuses it too
    if (!target.empty() && target[0] == '/') return false;
    std::vector<std::string> parts = Split(target);
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string &part = parts[i];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (at.empty()) return false;
            at.pop_back();
            continue;
        }
        std::string path = dest;
        for (const auto &p : at) path += "/" + p;
        path += "/" + part;
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            std::vector<char> buffer(static_cast<size_t>(st.st_size) + 2);
            const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
            if (n < 0) return true;
            std::string rest(buffer.data(), static_cast<size_t>(n));
            for (size_t k = i + 1; k < parts.size(); ++k) rest += "/" + parts[k];
            return ResolvesInside(dest, at, rest, depth + 1);
        }
        at.push_back(part);
    }
    return true;
}

bool CheckBelow(const std::string &dest, int folderFd, std::vector<std::string> &at,
                const std::string &allowedLink) {
    for (const std::string &name : Children(folderFd)) {
        struct stat st {};
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        std::string relative;
        for (const auto &p : at) relative += p + "/";
        relative += name;
        if (S_ISLNK(st.st_mode)) {
            if (relative == allowedLink) continue;
            std::vector<char> buffer(static_cast<size_t>(st.st_size) + 2);
            const ssize_t n = readlinkat(folderFd, name.c_str(), buffer.data(), buffer.size() - 1);
            if (n < 0) continue;
            const std::string target(buffer.data(), static_cast<size_t>(n));
            if (!ResolvesInside(dest, at, target, 0)) {
                std::fprintf(stderr, "link %s -> %s leaves the destination\n", relative.c_str(),
                             target.c_str());
                return false;
            }
        } else if (S_ISDIR(st.st_mode)) {
            const int child = openat(folderFd, name.c_str(), kFolderFlags);
            if (child < 0) continue;
            at.push_back(name);
            const bool inside = CheckBelow(dest, child, at, allowedLink);
            at.pop_back();
            close(child);
            if (!inside) return false;
        }
    }
    return true;
}


std::string Shown(const std::string &part) {
    return part.size() > 40 ? "<" + std::to_string(part.size()) + " bytes>" : part;
}

// A file's content, or its length (and CRC) when it is over 64 bytes.
std::string Content(int fd, off_t size, bool crc) {
    std::string bytes;
    char buffer[65536];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
    if (size <= 64) return bytes;
    std::string text = std::to_string(size) + " bytes";
    if (crc)
        text += ", CRC " + std::to_string(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()),
                                                static_cast<uInt>(bytes.size())));
    return text;
}

void Describe(int folderFd, const std::string &prefix, bool crc, std::set<std::string> &lines) {
    for (const std::string &name : Children(folderFd)) {
        struct stat st {};
        if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        const std::string path = prefix + Shown(name);
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> buffer(static_cast<size_t>(st.st_size) + 2);
            const ssize_t n = readlinkat(folderFd, name.c_str(), buffer.data(), buffer.size() - 1);
            lines.insert(path + " -> @" + std::string(buffer.data(), n < 0 ? 0 : static_cast<size_t>(n)));
        } else if (S_ISDIR(st.st_mode)) {
            lines.insert(path + "/");
            const int child = openat(folderFd, name.c_str(), kFolderFlags);
            if (child < 0) continue;
            Describe(child, path + "/", crc, lines);
            close(child);
        } else {
            const bool read = st.st_size <= 64 || crc;
            const int fd = read ? openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
            lines.insert(path + " -> " + Content(fd, st.st_size, crc));
            if (fd >= 0) close(fd);
        }
    }
}

}  // namespace

void RemoveTree(const std::string &path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        unlink(path.c_str());
        return;
    }
    const int fd = open(path.c_str(), kFolderFlags);
    if (fd >= 0) {
        RemoveBelow(fd);
        close(fd);
    }
    rmdir(path.c_str());
}

bool TreeStaysInside(const std::string &dest, const std::string &allowedLink) {
    const int fd = open(dest.c_str(), kFolderFlags);
    if (fd < 0) return true;
    std::vector<std::string> at;
    const bool inside = CheckBelow(dest, fd, at, allowedLink);
    close(fd);
    return inside;
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
    const int fd = open(root.c_str(), kFolderFlags);
    if (fd < 0) return "?";
    std::set<std::string> lines;
    Describe(fd, "", crc, lines);
    close(fd);
    std::string text;
    for (const auto &line : lines) text += line + "\n";
    return text;
}

}  // namespace treecheck
