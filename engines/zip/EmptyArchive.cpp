#include "EmptyArchive.h"

#include <cerrno>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::zip {

bool WriteEmptyArchive(const std::string &path, const std::string &comment, std::string &error) {
    const std::size_t commentLength = std::min<std::size_t>(comment.size(), 0xFFFF);
    // End of central directory record: signature, then zeros but the comment's length.
    std::string record("PK\x05\x06", 4);
    record.append(16, '\0');
    record.push_back(static_cast<char>(commentLength & 0xFF));
    record.push_back(static_cast<char>(commentLength >> 8));
    record.append(comment, 0, commentLength);

    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    auto fail = [&](int cause) {
        error = std::strerror(cause);
        ::unlink(temp.c_str());
        return false;
    };
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
    errno = 0;
    if (::write(fd, record.data(), record.size()) != static_cast<ssize_t>(record.size()) ||
        ::fsync(fd) != 0) {
        const int cause = errno ? errno : ENOSPC;
        ::close(fd);
        return fail(cause);
    }
    if (::close(fd) != 0) return fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
    return true;
}

}  // namespace tesk::zip
