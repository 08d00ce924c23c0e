// Files that get a name only when complete. A file made with O_TMPFILE has no name until
// it is linked, so a process killed while writing it leaves nothing behind on the disk.
// Where the file system (or a missing /proc) does not allow it, callers fall back to a
// temporary name of their own.
#pragma once

#include <functional>
#include <string>

namespace tesk {

// A new file without a name in the folder folderFd (or the folder at path when folderFd is
// AT_FDCWD), open for reading and writing (so it can be mapped), with mode less the umask.
// -1 with errno set when the system cannot make one here.
int OpenUnnamed(int folderFd, const char *path, int mode);

// Gives the unnamed file fd the name name in folderFd, replacing a file or link of that name.
// When a file is in the way, the file is first linked under tempName() and then renamed over
// it, so the target is always either the old file or the whole new one. False with errno set
// on failure; the file then still has no name.
bool NameUnnamed(int fd, int folderFd, const std::string &name,
                 const std::function<std::string()> &tempName);

}  // namespace tesk
