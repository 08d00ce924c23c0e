// BZip2 decompression of an entry's data as it comes, for data read raw (AE-2 entries,
// whose CRC libzip would wrongly check when it decompresses them itself).
#pragma once

#include <bzlib.h>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace tesk::unzip {

class Bzip2Stream {
public:
    enum class Status { Ok, End, BadData, NoMemory };
    // Takes decoded bytes; false stops decoding.
    using Deliver = std::function<bool(const uint8_t *data, size_t size)>;

    Bzip2Stream();
    ~Bzip2Stream();
    Bzip2Stream(const Bzip2Stream &) = delete;
    Bzip2Stream &operator=(const Bzip2Stream &) = delete;

    // Decodes input through buffer (its size: capacity) into deliver. End once the stream
    // is complete (later input is ignored); Ok when more input is needed; BadData also when
    // deliver refused.
    Status Feed(const uint8_t *input, size_t size, uint8_t *buffer, size_t capacity,
                const Deliver &deliver);
    bool ended() const { return ended_; }

private:
    bz_stream stream_{};
    bool ready_ = false;
    bool ended_ = false;
};

}  // namespace tesk::unzip
