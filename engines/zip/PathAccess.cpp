#include "PathAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tesk::zip {
namespace {

// Well below PATH_MAX (4096), so that every piece handed to the kernel fits.
constexpr std::size_t kPiece = 2048;

void CloseKeepingErrno(int fd) {
    if (fd < 0 || fd == AT_FDCWD) return;
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// The descriptor of the folder that holds all of path but its last kPiece bytes or fewer,
// and in rest what remains of path relative to it. AT_FDCWD when path is short.
int OpenLeadingFolders(const std::string &path, std::string &rest) {
    int folder = AT_FDCWD;
    std::size_t start = 0;
    while (path.size() - start >= kPiece) {
        const std::size_t cut = path.rfind('/', start + kPiece - 1);
        if (cut == std::string::npos || cut <= start) {
            CloseKeepingErrno(folder);
            errno = ENAMETOOLONG;  // one name longer than a piece: no file system has those
            return -1;
        }
        const std::string piece = path.substr(start, cut - start);
        const int next = ::openat(folder, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        CloseKeepingErrno(folder);
        if (next < 0) return -1;
        folder = next;
        start = cut + 1;
    }
    rest = path.substr(start);
    return folder;
}

}  // namespace

int OpenPath(const std::string &path, int flags) {
    std::string rest;
    const int folder = OpenLeadingFolders(path, rest);
    if (folder == -1) return -1;
    const int fd = ::openat(folder, rest.c_str(), flags | O_CLOEXEC);
    CloseKeepingErrno(folder);
    return fd;
}

bool StatPath(const std::string &path, struct stat &info, bool followLinks) {
    std::string rest;
    const int folder = OpenLeadingFolders(path, rest);
    if (folder == -1) return false;
    const bool ok = ::fstatat(folder, rest.c_str(), &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0;
    CloseKeepingErrno(folder);
    return ok;
}

}  // namespace tesk::zip
