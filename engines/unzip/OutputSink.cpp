#include "OutputSink.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tesk::unzip {

bool MemorySink::Write(const uint8_t *data, size_t size) {
    bytes_.append(reinterpret_cast<const char *>(data), size);
    return true;
}

bool FileSink::Write(const uint8_t *data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::strerror(errno);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool LineEndSink::Write(const uint8_t *data, size_t size) {
    if (size == 0) return true;
    if (!decided_) {
        constexpr size_t kFirstBlock = 4096;
        decided_ = true;
        text_ = text_ || std::memchr(data, 0, size < kFirstBlock ? size : kFirstBlock) == nullptr;
    }
    if (!text_) return next_.Write(data, size);
    converted_.clear();
    converted_.reserve(size + 1);
    size_t i = 0;
    if (pendingCr_) {
        pendingCr_ = false;
        if (data[0] != '\n') converted_ += '\r';
    }
    for (; i < size; ++i) {
        if (data[i] == '\r') {
            if (i + 1 == size) {
                pendingCr_ = true;
                break;
            }
            if (data[i + 1] == '\n') continue;
        }
        converted_ += static_cast<char>(data[i]);
    }
    return next_.Write(reinterpret_cast<const uint8_t *>(converted_.data()), converted_.size());
}

bool LineEndSink::Finish() {
    if (pendingCr_) {
        pendingCr_ = false;
        const uint8_t cr = '\r';
        if (!next_.Write(&cr, 1)) return false;
    }
    return next_.Finish();
}

}  // namespace tesk::unzip
