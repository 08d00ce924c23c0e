// The two methods of liblzma: LZMA as zip stores it, and whole XZ streams.
#pragma once

#include "MethodDecoder.h"

#include <lzma.h>
#include <vector>

namespace tesk::unzip {

// The liblzma stream shared by both: it pumps the input through and the output on.
class LiblzmaDecoder : public MethodDecoder {
public:
    LiblzmaDecoder();
    ~LiblzmaDecoder() override;
    LiblzmaDecoder(const LiblzmaDecoder &) = delete;
    LiblzmaDecoder &operator=(const LiblzmaDecoder &) = delete;

protected:
    // Decodes until the stream ends, starting with the input bytes already taken from
    // input (data, size), then asking it for more.
    MethodStatus Pump(const uint8_t *data, size_t size, const Input &input, const Output &output);
    static MethodStatus StatusOf(lzma_ret rc);

    lzma_stream stream_ = LZMA_STREAM_INIT;

private:
    std::vector<uint8_t> out_;
};

// A zip LZMA entry: a 2-byte encoder version, a 2-byte properties size, the 5 bytes of
// properties, then the raw stream. endMarker: flag bit 1, the stream ends with a marker;
// otherwise it ends after size bytes.
class LzmaDecoder final : public LiblzmaDecoder {
public:
    LzmaDecoder(uint64_t size, bool endMarker) : size_(size), endMarker_(endMarker) {}
    MethodStatus Run(const Input &input, const Output &output) override;

private:
    const uint64_t size_;
    const bool endMarker_;
};

// An XZ stream with its own checks, which liblzma verifies.
class XzDecoder final : public LiblzmaDecoder {
public:
    MethodStatus Run(const Input &input, const Output &output) override;
};

}  // namespace tesk::unzip
