// Decoders for the compression methods that the engine reads outside libzip and zlib:
// each turns an entry's compressed bytes (already decrypted) into its contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace tesk::unzip {

constexpr uint16_t kMethodDeflate64 = 9;
constexpr uint16_t kMethodLzma = 14;
constexpr uint16_t kMethodZstd = 93;
constexpr uint16_t kMethodXz = 95;

enum class MethodStatus {
    Ok,            // the compressed stream ended properly; bytes after its end are ignored
    BadData,       // corrupt or truncated stream
    NoMemory,
    InputFailed,   // the input gave -1
    OutputStopped  // the output refused a piece
};

class MethodDecoder {
public:
    // The next piece of compressed data: its length, 0 at the end, -1 on failure.
    using Input = std::function<int64_t(const uint8_t *&data)>;
    // Takes each decoded piece in order; false stops decoding.
    using Output = std::function<bool(const uint8_t *data, size_t size)>;

    virtual ~MethodDecoder() = default;
    // Decodes one entry; a decoder is used once.
    virtual MethodStatus Run(const Input &input, const Output &output) = 0;
};

// What a decoder needs to know of its entry besides the bytes.
struct MethodEntry {
    uint16_t method = 0;
    uint16_t flags = 0;  // general purpose flags: bit 1 marks an LZMA end marker
    uint64_t size = 0;   // declared uncompressed size
};

// True for the methods MakeMethodDecoder handles.
bool HasMethodDecoder(uint16_t method);
// A decoder for the entry's method, or null when it has none here.
std::unique_ptr<MethodDecoder> MakeMethodDecoder(const MethodEntry &entry);

}  // namespace tesk::unzip
