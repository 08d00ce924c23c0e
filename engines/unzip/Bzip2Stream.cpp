#include "Bzip2Stream.h"

namespace tesk::unzip {

Bzip2Stream::Bzip2Stream() { ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK; }

Bzip2Stream::~Bzip2Stream() {
    if (ready_) BZ2_bzDecompressEnd(&stream_);
}

Bzip2Stream::Status Bzip2Stream::Feed(const uint8_t *input, size_t size, uint8_t *buffer,
                                      size_t capacity, const Deliver &deliver) {
    if (!ready_) return Status::NoMemory;
    if (ended_) return Status::End;
    stream_.next_in = const_cast<char *>(reinterpret_cast<const char *>(input));
    stream_.avail_in = static_cast<unsigned>(size);
    // A whole block is taken in before any of it comes out: keep going while output is due.
    for (;;) {
        stream_.next_out = reinterpret_cast<char *>(buffer);
        stream_.avail_out = static_cast<unsigned>(capacity);
        const int rc = BZ2_bzDecompress(&stream_);
        if (rc == BZ_MEM_ERROR) return Status::NoMemory;
        if (rc != BZ_OK && rc != BZ_STREAM_END) return Status::BadData;
        const size_t produced = capacity - stream_.avail_out;
        if (produced > 0 && !deliver(buffer, produced)) return Status::BadData;
        if (rc == BZ_STREAM_END) {
            ended_ = true;
            return Status::End;
        }
        if (stream_.avail_in == 0 && stream_.avail_out > 0) return Status::Ok;
        if (produced == 0 && stream_.avail_in == 0) return Status::Ok;
    }
}

}  // namespace tesk::unzip
