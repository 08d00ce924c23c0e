// Deflate64: deflate with a 64 KiB window, length code 285 meaning 3 plus 16 extra bits,
// and distance codes 30 and 31. No packaged library decodes it.
#pragma once

#include "MethodDecoder.h"

#include <vector>

namespace tesk::unzip {

class Deflate64Decoder final : public MethodDecoder {
public:
    MethodStatus Run(const Input &input, const Output &output) override;

private:
    // A canonical Huffman code: codes up to kFastBits long are found by one look-up of
    // the next bits, longer ones by walking the code lengths.
    static constexpr unsigned kFastBits = 10;
    struct Huffman {
        uint16_t fast[1u << kFastBits];  // symbol << 4 | length; 0 for a longer code
        uint16_t count[16];              // codes of each length
        uint16_t symbols[288];           // in code order
        // False for lengths that give more codes than there is room for.
        bool Build(const uint8_t *lengths, unsigned n);
    };

    bool Fill();
    uint32_t Take(unsigned n);
    int Decode(const Huffman &code);
    bool Overran() const { return count_ < paddedBits_; }
    MethodStatus Block(bool fixed);
    MethodStatus Stored();
    MethodStatus DynamicCodes();
    bool Flush(bool keepWindow);

    const Input *input_ = nullptr;
    const Output *output_ = nullptr;
    const uint8_t *next_ = nullptr, *end_ = nullptr;
    bool inputEnded_ = false, inputFailed_ = false;
    uint64_t bits_ = 0;
    unsigned count_ = 0;
    // Zero bits added past the input's end so look-ups never run dry; using any of them
    // means the stream was cut short.
    unsigned paddedBits_ = 0;

    std::vector<uint8_t> window_;  // the last 64 KiB of output, then what is not yet given out
    size_t pos_ = 0, flushed_ = 0;
    Huffman literals_, distances_;
};

}  // namespace tesk::unzip
