// One method decoder (FUZZ_METHOD) on arbitrary bytes, fed in pieces of a size the input
// chooses, with output bounded by a declared size as the engine bounds it. Any crash,
// leak, hang, sanitizer report or broken contract of the decoder is a fault.
//
// Input: a byte choosing the piece size, the entry's general purpose flags (low byte),
// its declared size (4 bytes, little-endian, taken modulo 8 MiB), then the compressed data.
#include "MethodDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using tesk::unzip::MethodStatus;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    constexpr size_t kHeader = 6;
    if (size < kHeader) return 0;
    const size_t piece = data[0] == 0 ? size : size_t{1} << (data[0] % 13);
    const uint16_t flags = data[1];
    const uint64_t declared =
        (data[2] | data[3] << 8 | data[4] << 16 | static_cast<uint64_t>(data[5]) << 24) % (8u << 20);
    const uint8_t *input = data + kHeader;
    const size_t inputSize = size - kHeader;

    auto decoder = tesk::unzip::MakeMethodDecoder({FUZZ_METHOD, flags, declared});
    if (!decoder) std::abort();
    size_t offset = 0;
    bool ended = false, refused = false;
    uint64_t produced = 0;
    const MethodStatus status = decoder->Run(
        [&](const uint8_t *&chunk) -> int64_t {
            if (ended) {
                std::fprintf(stderr, "input asked for again after its end\n");
                std::abort();
            }
            const size_t n = std::min(piece, inputSize - offset);
            chunk = input + offset;
            offset += n;
            ended = n == 0;
            return static_cast<int64_t>(n);
        },
        [&](const uint8_t *chunk, size_t n) {
            if (refused || n == 0) {
                std::fprintf(stderr, "output after a refusal, or an empty piece\n");
                std::abort();
            }
            // Touch every byte so the sanitizer sees any read outside the decoder's buffer.
            volatile uint8_t sum = 0;
            for (size_t i = 0; i < n; ++i) sum = sum + chunk[i];
            produced += n;
            refused = produced > declared;
            return !refused;
        });
    if ((status == MethodStatus::OutputStopped) != refused) {
        std::fprintf(stderr, "output refused but the decoder said otherwise\n");
        std::abort();
    }
    return 0;
}
