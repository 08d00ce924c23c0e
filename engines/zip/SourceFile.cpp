#include "SourceFile.h"

#include "PathAccess.h"
#include "vbzip11.h"

#include <algorithm>
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

int OpenSourceFile(const std::string &path, Failure &failure, struct stat *opened) {
    // O_NONBLOCK: a FIFO put in place of a file must fail here, not hang the run.
    const int fd = OpenPath(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        SetReadFailure(failure, path, std::strerror(errno));
        return -1;
    }
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (opened) *opened = info;
    if (!regular) {
        ::close(fd);
        SetReadFailure(failure, path, "not a regular file");
        return -1;
    }
    return fd;
}

bool ChangedSince(int fd, const struct stat &opened) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return true;
    return now.st_size != opened.st_size || now.st_mtim.tv_sec != opened.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec;
}

bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len, uint8_t *out,
            uint64_t &got, Failure &failure) {
    got = 0;
    while (got < len) {
        const ssize_t n = ::pread(fd, out + got, len - got, static_cast<off_t>(offset + got));
        if (n < 0) {
            if (errno == EINTR) continue;
            SetReadFailure(failure, path, std::strerror(errno));
            return false;
        }
        if (n == 0) break;
        got += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len,
            std::vector<uint8_t> &out, Failure &failure) {
    const std::size_t start = out.size();
    out.resize(start + len);
    uint64_t got = 0;
    const bool ok = ReadAt(fd, path, offset, len, out.data() + start, got, failure);
    out.resize(start + got);
    return ok;
}

uint8_t *Scratch::Reserve(std::size_t size, std::size_t keep) {
    if (size > capacity_) {
        const std::size_t capacity = std::max(size, capacity_ + capacity_ / 2);
        std::unique_ptr<uint8_t[]> bytes(new uint8_t[capacity]);
        if (keep > 0) std::memcpy(bytes.get(), bytes_.get(), keep);
        bytes_ = std::move(bytes);
        capacity_ = capacity;
    }
    return bytes_.get();
}

void Scratch::Trim(std::size_t max) {
    if (capacity_ <= max) return;
    bytes_.reset();
    capacity_ = 0;
}

bool ReadWhole(const std::string &path, Scratch &buffer, std::size_t &length, bool &changed,
               Failure &failure) {
    struct stat opened {};
    const int fd = OpenSourceFile(path, failure, &opened);
    if (fd < 0) return false;
    // Read to the end, not just the size: files of /proc and /sys tell a size of 0. Room for
    // one byte more than the size shows whether the file grew.
    std::size_t room = static_cast<std::size_t>(opened.st_size) + 1;
    length = 0;
    bool ok = true;
    for (;;) {
        uint8_t *bytes = buffer.Reserve(room, length);
        const ssize_t n = ::read(fd, bytes + length, room - length);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetReadFailure(failure, path, std::strerror(errno));
            ok = false;
            break;
        }
        if (n == 0) break;
        length += static_cast<std::size_t>(n);
        // Less than asked of a regular file is its end: no second read to see 0.
        if (length < room) break;
        room += 1 << 20;
    }
    changed = ok && ChangedSince(fd, opened);
    ::close(fd);
    return ok;
}

}  // namespace tesk::zip
