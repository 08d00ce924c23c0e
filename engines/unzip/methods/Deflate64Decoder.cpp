#include "Deflate64Decoder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tesk::unzip {
namespace {

constexpr size_t kWindow = 64u << 10;
constexpr size_t kMaxMatch = 3 + 65535;
// Output goes out in pieces of about this size; the window is kept in front of them.
constexpr size_t kPiece = 1u << 20;
constexpr size_t kFlushAt = kWindow + kPiece;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr uint32_t kDistanceBase[32] = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

unsigned Reverse(unsigned code, unsigned length) {
    unsigned reversed = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
    return reversed;
}

}  // namespace

bool Deflate64Decoder::Huffman::Build(const uint8_t *lengths, unsigned n) {
    std::memset(count, 0, sizeof count);
    for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    int room = 1;
    for (unsigned length = 1; length < 16; ++length) {
        room = (room << 1) - count[length];
        if (room < 0) return false;
    }
    // An incomplete code is let through: a bit pattern it lacks fails when met.
    uint16_t offset[16];
    offset[1] = 0;
    for (unsigned length = 1; length < 15; ++length) offset[length + 1] = offset[length] + count[length];
    for (unsigned symbol = 0; symbol < n; ++symbol)
        if (lengths[symbol]) symbols[offset[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
    std::memset(fast, 0, sizeof fast);
    unsigned code = 0, index = 0;
    for (unsigned length = 1; length <= kFastBits; ++length, code <<= 1) {
        for (unsigned i = 0; i < count[length]; ++i, ++code, ++index) {
            const uint16_t entry = static_cast<uint16_t>(symbols[index] << 4 | length);
            for (unsigned slot = Reverse(code, length); slot < (1u << kFastBits); slot += 1u << length)
                fast[slot] = entry;
        }
    }
    return true;
}

bool Deflate64Decoder::Fill() {
    while (count_ <= 56) {
        if (end_ - next_ >= 8) {
            uint64_t word;
            std::memcpy(&word, next_, 8);  // little-endian machines only, like the zip format
            bits_ |= word << count_;
            next_ += (63 - count_) >> 3;
            count_ |= 56;
            return true;
        }
        if (next_ != end_) {
            bits_ |= static_cast<uint64_t>(*next_++) << count_;
            count_ += 8;
            continue;
        }
        if (!inputEnded_) {
            const uint8_t *data = nullptr;
            const int64_t n = (*input_)(data);
            if (n < 0) {
                inputFailed_ = true;
                return false;
            }
            inputEnded_ = n == 0;
            next_ = data;
            end_ = data + n;
            continue;
        }
        count_ += 8;  // zero bits; bits_ holds zeros above count_
        paddedBits_ += 8;
    }
    return true;
}

uint32_t Deflate64Decoder::Take(unsigned n) {
    const uint32_t value = static_cast<uint32_t>(bits_ & ((1ull << n) - 1));
    bits_ >>= n;
    count_ -= n;
    return value;
}

int Deflate64Decoder::Decode(const Huffman &code) {
    const uint16_t entry = code.fast[bits_ & ((1u << kFastBits) - 1)];
    if (entry) {
        Take(entry & 15);
        return entry >> 4;
    }
    // The bits come first bit first, codes are compared most significant bit first.
    int value = 0, first = 0, index = 0;
    for (unsigned length = 1; length < 16; ++length) {
        value |= static_cast<int>((bits_ >> (length - 1)) & 1);
        const int n = code.count[length];
        if (value - first < n) {
            Take(length);
            return code.symbols[index + value - first];
        }
        index += n;
        first = (first + n) << 1;
        value <<= 1;
    }
    return -1;
}

bool Deflate64Decoder::Flush(bool keepWindow) {
    if (pos_ > flushed_ && !(*output_)(window_.data() + flushed_, pos_ - flushed_)) return false;
    flushed_ = pos_;
    if (keepWindow && pos_ > kWindow) {
        std::memmove(window_.data(), window_.data() + pos_ - kWindow, kWindow);
        pos_ = flushed_ = kWindow;
    }
    return true;
}

MethodStatus Deflate64Decoder::Run(const Input &input, const Output &output) {
    input_ = &input;
    output_ = &output;
    try {
        window_.resize(kFlushAt + kMaxMatch);
    } catch (const std::bad_alloc &) {
        return MethodStatus::NoMemory;
    }
    for (;;) {
        if (!Fill()) return MethodStatus::InputFailed;
        const bool last = Take(1) != 0;
        MethodStatus status = MethodStatus::BadData;
        switch (Take(2)) {
        case 0: status = Stored(); break;
        case 1: status = Block(true); break;
        case 2: status = DynamicCodes(); break;
        default: break;
        }
        if (inputFailed_) return MethodStatus::InputFailed;
        if (status != MethodStatus::Ok) return status;
        if (Overran()) return MethodStatus::BadData;
        if (last) return Flush(false) ? MethodStatus::Ok : MethodStatus::OutputStopped;
    }
}

MethodStatus Deflate64Decoder::Stored() {
    if (pos_ >= kFlushAt && !Flush(true)) return MethodStatus::OutputStopped;
    Take(count_ & 7);  // to the byte boundary
    if (!Fill()) return MethodStatus::InputFailed;
    const uint32_t length = Take(16);
    if (Take(16) != (~length & 0xFFFF) || Overran()) return MethodStatus::BadData;
    // Bytes already in the bit buffer first, then straight from the input.
    uint32_t left = length;
    while (left > 0 && count_ >= 8) {
        window_[pos_++] = static_cast<uint8_t>(Take(8));
        --left;
        if (Overran()) return MethodStatus::BadData;
    }
    // The buffer is empty now, but may still hold a look-ahead of the bytes copied below.
    if (left > 0) bits_ = 0;
    while (left > 0) {
        if (next_ == end_) {
            if (inputEnded_) return MethodStatus::BadData;
            const uint8_t *data = nullptr;
            const int64_t n = (*input_)(data);
            if (n < 0) return MethodStatus::InputFailed;
            inputEnded_ = n == 0;
            next_ = data;
            end_ = data + n;
            continue;
        }
        const size_t take = std::min<size_t>(left, static_cast<size_t>(end_ - next_));
        std::memcpy(window_.data() + pos_, next_, take);
        pos_ += take;
        next_ += take;
        left -= static_cast<uint32_t>(take);
    }
    return MethodStatus::Ok;
}

MethodStatus Deflate64Decoder::DynamicCodes() {
    if (!Fill()) return MethodStatus::InputFailed;
    const unsigned literals = Take(5) + 257, distances = Take(5) + 1, lengthCodes = Take(4) + 4;
    if (literals > 286) return MethodStatus::BadData;
    uint8_t lengths[286 + 32] = {};
    for (unsigned i = 0; i < lengthCodes; ++i) {
        if (!Fill()) return MethodStatus::InputFailed;
        lengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(Take(3));
    }
    Huffman lengthCode;
    if (!lengthCode.Build(lengths, 19)) return MethodStatus::BadData;
    std::memset(lengths, 0, 19);
    const unsigned total = literals + distances;
    for (unsigned i = 0; i < total;) {
        if (!Fill()) return MethodStatus::InputFailed;
        const int symbol = Decode(lengthCode);
        if (symbol < 0 || Overran()) return MethodStatus::BadData;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (i == 0) return MethodStatus::BadData;
            value = lengths[i - 1];
            repeat = 3 + Take(2);
        } else if (symbol == 17) {
            repeat = 3 + Take(3);
        } else {
            repeat = 11 + Take(7);
        }
        if (repeat > total - i) return MethodStatus::BadData;
        std::memset(lengths + i, value, repeat);
        i += repeat;
    }
    if (Overran() || lengths[256] == 0) return MethodStatus::BadData;
    if (!literals_.Build(lengths, literals) || !distances_.Build(lengths + literals, distances))
        return MethodStatus::BadData;
    return Block(false);
}

MethodStatus Deflate64Decoder::Block(bool fixed) {
    if (fixed) {
        uint8_t lengths[288 + 32];
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 112);
        std::memset(lengths + 256, 7, 24);
        std::memset(lengths + 280, 8, 8);
        std::memset(lengths + 288, 5, 32);
        literals_.Build(lengths, 288);
        distances_.Build(lengths + 288, 32);
    }
    for (;;) {
        if (pos_ >= kFlushAt && !Flush(true)) return MethodStatus::OutputStopped;
        if (!Fill()) return MethodStatus::InputFailed;
        int symbol = Decode(literals_);
        if (symbol < 256) {
            if (symbol < 0 || Overran()) return MethodStatus::BadData;
            window_[pos_++] = static_cast<uint8_t>(symbol);
            continue;
        }
        if (symbol == 256) return MethodStatus::Ok;
        symbol -= 257;
        if (symbol >= 29) return MethodStatus::BadData;
        const size_t length = kLengthBase[symbol] + Take(kLengthExtra[symbol]);
        if (!Fill()) return MethodStatus::InputFailed;
        const int code = Decode(distances_);
        if (code < 0 || code >= 32) return MethodStatus::BadData;
        const size_t distance = kDistanceBase[code] + Take(kDistanceExtra[code]);
        if (Overran() || distance > pos_) return MethodStatus::BadData;
        uint8_t *to = window_.data() + pos_;
        const uint8_t *from = to - distance;
        if (distance >= length) {
            std::memcpy(to, from, length);
        } else {
            for (size_t i = 0; i < length; ++i) to[i] = from[i];
        }
        pos_ += length;
    }
}

}  // namespace tesk::unzip
