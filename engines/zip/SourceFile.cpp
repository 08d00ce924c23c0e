#include "SourceFile.h"

#include "vbzip11.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::zip {
namespace {

void SetReadFailure(Failure &failure, const std::string &path, const std::string &cause) {
    failure.code = ZP_ERR_READ;
    failure.message = "zip error: cannot read " + path + ": " + cause;
}

}  // namespace

int OpenSourceFile(const std::string &path, Failure &failure) {
    // O_NONBLOCK: a FIFO put in place of a file must fail here, not hang the run.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetReadFailure(failure, path, std::strerror(errno));
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        SetReadFailure(failure, path, "not a regular file");
        return -1;
    }
    return fd;
}

bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len,
            std::vector<uint8_t> &out, Failure &failure) {
    const std::size_t start = out.size();
    out.resize(start + len);
    uint64_t done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, out.data() + start + done, len - done,
                                  static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            SetReadFailure(failure, path, std::strerror(errno));
            return false;
        }
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    out.resize(start + done);
    return true;
}

bool ReadWhole(const std::string &path, std::vector<uint8_t> &out, Failure &failure) {
    const int fd = OpenSourceFile(path, failure);
    if (fd < 0) return false;
    struct stat info {};
    ::fstat(fd, &info);
    uint64_t offset = 0;
    bool ok = true;
    // Read the size known now, then go on until the end in case the file grew.
    uint64_t chunk = static_cast<uint64_t>(info.st_size) + 1;
    for (;;) {
        const std::size_t before = out.size();
        if (!(ok = ReadAt(fd, path, offset, chunk, out, failure))) break;
        const uint64_t got = out.size() - before;
        offset += got;
        if (got < chunk) break;
        chunk = 1 << 20;
    }
    ::close(fd);
    return ok;
}

}  // namespace tesk::zip
