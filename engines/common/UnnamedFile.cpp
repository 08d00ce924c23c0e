#include "UnnamedFile.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace tesk {
namespace {

// linkat through /proc/self/fd works without privileges (AT_EMPTY_PATH needs
// CAP_DAC_READ_SEARCH), so /proc must be there.
bool CanLinkDescriptors() {
    static const bool present = access("/proc/self/fd", X_OK) == 0;
    return present;
}

int LinkDescriptor(int fd, int folderFd, const char *name) {
    char path[64];
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, path, folderFd, name, AT_SYMLINK_FOLLOW);
}

}  // namespace

int OpenUnnamed(int folderFd, const char *path, int mode) {
    if (!CanLinkDescriptors()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return openat(folderFd, path, O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
}

bool NameUnnamed(int fd, int folderFd, const std::string &name,
                 const std::function<std::string()> &tempName) {
    if (LinkDescriptor(fd, folderFd, name.c_str()) == 0) return true;
    if (errno != EEXIST) return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = tempName();
        if (LinkDescriptor(fd, folderFd, temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (renameat(folderFd, temp.c_str(), folderFd, name.c_str()) == 0) return true;
        const int cause = errno;
        unlinkat(folderFd, temp.c_str(), 0);
        errno = cause;
        return false;
    }
    errno = EEXIST;
    return false;
}

}  // namespace tesk
