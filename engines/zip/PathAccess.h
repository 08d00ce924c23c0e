// Files and folders reached by paths of any length. The kernel refuses a path of PATH_MAX
// bytes or more, and a deep tree holds longer ones; such a path is opened a piece at a time,
// each piece relative to the descriptor of the folder before it.
#pragma once

#include <string>
#include <sys/stat.h>

namespace tesk::zip {

// open(2) of path with flags (O_CLOEXEC added); -1 with errno set on failure.
int OpenPath(const std::string &path, int flags);

// stat(2), or lstat(2) when followLinks is false; false with errno set on failure.
bool StatPath(const std::string &path, struct stat &info, bool followLinks);

}  // namespace tesk::zip
