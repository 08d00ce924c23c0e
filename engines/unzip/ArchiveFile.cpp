#include "ArchiveFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::unzip {

ArchiveFile::~ArchiveFile() {
    if (fd_ >= 0) close(fd_);
}

bool ArchiveFile::Open(const std::string &path, std::string &error) {
    // Non-blocking: opening a FIFO would otherwise wait for a writer, forever.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file";
        return false;
    }
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (st.st_size < 22) {  // smaller than an empty archive's end record
        error = "not a zip archive";
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

int64_t ArchiveFile::ReadSome(uint64_t offset, void *buffer, size_t length) const {
    size_t done = 0;
    auto *bytes = static_cast<uint8_t *>(buffer);
    while (done < length) {
        const ssize_t n = pread(fd_, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool ArchiveFile::ReadAt(uint64_t offset, void *buffer, size_t length) const {
    return ReadSome(offset, buffer, length) == static_cast<int64_t>(length);
}

void ArchiveFile::MaskOnRead(uint64_t offset, uint8_t mask) { ChangeOnRead(offset, mask, 0); }

void ArchiveFile::ChangeOnRead(uint64_t offset, uint8_t clear, uint8_t set) {
    const auto at = std::lower_bound(masks_.begin(), masks_.end(), offset,
                                     [](const Mask &m, uint64_t o) { return m.offset < o; });
    if (at != masks_.end() && at->offset == offset) {
        at->bits |= clear;
        at->set = static_cast<uint8_t>((at->set & ~clear) | set);
    } else {
        masks_.insert(at, {offset, clear, set});
    }
}

void ArchiveFile::ApplyMasks(uint64_t offset, uint8_t *data, size_t length) const {
    auto at = std::lower_bound(masks_.begin(), masks_.end(), offset,
                               [](const Mask &m, uint64_t o) { return m.offset < o; });
    for (; at != masks_.end() && at->offset - offset < length; ++at)
        data[at->offset - offset] =
            static_cast<uint8_t>((data[at->offset - offset] & ~at->bits) | at->set);
}

const uint8_t *ArchiveWindow::View(uint64_t offset, size_t length) {
    if (offset >= start_ && offset - start_ <= filled_ && filled_ - (offset - start_) >= length)
        return buffer_.data() + (offset - start_);
    if (offset > file_.size() || length > file_.size() - offset) return nullptr;
    const size_t want = std::max(length, static_cast<size_t>(std::min<uint64_t>(kBlock, file_.size() - offset)));
    if (buffer_.size() < want) buffer_.resize(want);
    const int64_t got = file_.ReadSome(offset, buffer_.data(), want);
    start_ = offset;
    filled_ = got < 0 ? 0 : static_cast<size_t>(got);
    if (filled_ < length) return nullptr;
    return buffer_.data();
}

}  // namespace tesk::unzip
