#include "DeflateJoin.h"

#include <array>
#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>

namespace tesk::zip {
namespace {

constexpr unsigned kMaxCodeLength = 15;
// Codes up to this length are found with one table lookup; longer ones (rare) bit by bit.
constexpr unsigned kTableBits = 11;

// Reads the stream's bits in deflate order (least significant bit of each byte first),
// through a 64-bit buffer. Bits past the end read as 0; Has tells whether they are real.
class BitWalker {
public:
    BitWalker(const uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    uint64_t position() const { return next_ * 8 - available_; }
    bool Has(uint64_t bits) const { return position() + bits <= uint64_t{size_} * 8; }
    // Cheap check that the walk has not run far past the end (reading zeros there).
    bool Overrun() const { return next_ > size_ + 8; }
    // Makes at least 56 bits available.
    void Refill() {
        if (next_ + 8 <= size_ && std::endian::native == std::endian::little) {
            uint64_t word;
            std::memcpy(&word, data_ + next_, 8);
            buffer_ |= word << available_;
            next_ += (63 - available_) >> 3;
            available_ |= 56;
            return;
        }
        while (available_ <= 56) {
            buffer_ |= static_cast<uint64_t>(next_ < size_ ? data_[next_] : 0) << available_;
            ++next_;
            available_ += 8;
        }
    }
    // The next n (at most 32) bits; call Refill first when fewer may be buffered.
    uint32_t Peek(unsigned n) const {
        return static_cast<uint32_t>(buffer_ & ((uint64_t{1} << n) - 1));
    }
    void Skip(unsigned n) {
        buffer_ >>= n;
        available_ -= n;
    }
    uint32_t Take(unsigned n) {
        Refill();
        const uint32_t value = Peek(n);
        Skip(n);
        return value;
    }
    void AlignToByte() { Skip(available_ % 8); }
    // Moves on by a number of whole bytes (after AlignToByte).
    void SkipBytes(uint64_t count) {
        const uint64_t target = position() / 8 + count;
        buffer_ = 0;
        available_ = 0;
        next_ = target;
    }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::size_t next_ = 0;  // next byte to load into the buffer
    uint64_t buffer_ = 0;
    unsigned available_ = 0;
};

// A canonical Huffman code: a lookup table for codes up to kTableBits long (each slot
// symbol << 4 | length, 0 for none) and the canonical counts for longer codes.
class HuffmanTable {
public:
    bool Build(const uint8_t *lengths, unsigned count) {
        perLength_.fill(0);
        for (unsigned i = 0; i < count; ++i) ++perLength_[lengths[i]];
        perLength_[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
            left = 2 * left - static_cast<int>(perLength_[len]);
            if (left < 0) return false;  // over-subscribed
        }
        std::array<unsigned, kMaxCodeLength + 2> offset{};
        for (unsigned len = 1; len <= kMaxCodeLength; ++len)
            offset[len + 1] = offset[len] + perLength_[len];
        for (unsigned symbol = 0; symbol < count; ++symbol)
            if (lengths[symbol]) sorted_[offset[lengths[symbol]]++] = static_cast<uint16_t>(symbol);

        table_.fill(0);
        unsigned code = 0, index = 0;
        for (unsigned len = 1; len <= kTableBits; ++len) {
            for (unsigned n = 0; n < perLength_[len]; ++n, ++code, ++index) {
                unsigned reversed = 0;
                for (unsigned i = 0; i < len; ++i) reversed |= ((code >> i) & 1) << (len - 1 - i);
                for (unsigned slot = reversed; slot < table_.size(); slot += 1u << len)
                    table_[slot] = static_cast<uint16_t>(sorted_[index] << 4 | len);
            }
            code <<= 1;
        }
        return true;
    }
    // The next symbol, or -1 when the bits match no code. Needs 15 buffered bits. Bits
    // past the end read as 0: the caller checks where the walk ended.
    int Decode(BitWalker &bits) const {
        const uint16_t slot = table_[bits.Peek(kTableBits)];
        if (slot != 0) {
            bits.Skip(slot & 15);
            return slot >> 4;
        }
        // Longer than the table: walk the canonical code one bit at a time.
        const uint32_t peeked = bits.Peek(kMaxCodeLength);
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
            code |= static_cast<int>((peeked >> (len - 1)) & 1);
            const int count = static_cast<int>(perLength_[len]);
            if (code - count < first) {
                bits.Skip(len);
                return sorted_[index + (code - first)];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<uint16_t, 1u << kTableBits> table_{};
    std::array<unsigned, kMaxCodeLength + 1> perLength_{};
    std::array<uint16_t, 288> sorted_{};
};

constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Steps over the symbols of a Huffman-coded block up to and including its end code.
bool SkipSymbols(BitWalker &bits, const HuffmanTable &literals, const HuffmanTable &distances) {
    for (;;) {
        bits.Refill();  // enough for a length code, its extra bits and a distance code
        const int symbol = literals.Decode(bits);
        if (symbol < 0 || bits.Overrun()) return false;
        if (symbol < 256) continue;
        if (symbol == 256) return bits.Has(0);
        if (symbol > 285) return false;
        bits.Skip(kLengthExtra[symbol - 257]);
        const int distance = distances.Decode(bits);
        if (distance < 0 || distance >= 30) return false;
        bits.Refill();
        bits.Skip(kDistanceExtra[distance]);
    }
}

bool ReadDynamicTables(BitWalker &bits, HuffmanTable &literals, HuffmanTable &distances) {
    static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                           11, 4,  12, 3, 13, 2, 14, 1, 15};
    if (!bits.Has(14)) return false;
    const unsigned literalCount = bits.Take(5) + 257;
    const unsigned distanceCount = bits.Take(5) + 1;
    const unsigned lengthCodes = bits.Take(4) + 4;
    if (literalCount > 286 || distanceCount > 30) return false;
    if (!bits.Has(3 * lengthCodes)) return false;
    uint8_t codeLengths[19] = {};
    for (unsigned i = 0; i < lengthCodes; ++i) codeLengths[kOrder[i]] = static_cast<uint8_t>(bits.Take(3));
    HuffmanTable lengthCode;
    if (!lengthCode.Build(codeLengths, 19)) return false;
    uint8_t lengths[286 + 30] = {};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        bits.Refill();
        const int symbol = lengthCode.Decode(bits);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        unsigned repeat;
        uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + bits.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + bits.Take(3);
        } else {
            repeat = 11 + bits.Take(7);
        }
        if (!bits.Has(0) || i + repeat > total) return false;
        while (repeat--) lengths[i++] = value;
    }
    if (lengths[256] == 0) return false;  // no end code
    return literals.Build(lengths, literalCount) &&
           distances.Build(lengths + literalCount, distanceCount);
}

bool BuildFixedTables(HuffmanTable &literals, HuffmanTable &distances) {
    uint8_t lengths[288];
    for (unsigned i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    uint8_t distanceLengths[30];
    std::fill(std::begin(distanceLengths), std::end(distanceLengths), uint8_t{5});
    return literals.Build(lengths, 288) && distances.Build(distanceLengths, 30);
}

// Finds where the final block's header starts and where that block ends, in bits.
bool FindFinalBlock(const uint8_t *data, std::size_t size, uint64_t &header, uint64_t &end) {
    BitWalker bits(data, size);
    auto literals = std::make_unique<HuffmanTable>();
    auto distances = std::make_unique<HuffmanTable>();
    for (;;) {
        const uint64_t start = bits.position();
        if (!bits.Has(3)) return false;
        const bool final = bits.Take(1) != 0;
        const uint32_t type = bits.Take(2);
        if (type == 0) {
            bits.AlignToByte();
            if (!bits.Has(32)) return false;
            const uint32_t length = bits.Take(16);
            if ((bits.Take(16) ^ 0xFFFF) != length) return false;
            bits.SkipBytes(length);
            if (!bits.Has(0)) return false;
        } else if (type == 3) {
            return false;
        } else {
            const bool ok = type == 1 ? BuildFixedTables(*literals, *distances)
                                      : ReadDynamicTables(bits, *literals, *distances);
            if (!ok || !SkipSymbols(bits, *literals, *distances)) return false;
        }
        if (final) {
            header = start;
            end = bits.position();
            return true;
        }
    }
}

}  // namespace

bool MakeJoinable(std::vector<uint8_t> &stream) {
    uint64_t header = 0, end = 0;
    if (!FindFinalBlock(stream.data(), stream.size(), header, end)) return false;
    if ((end + 7) / 8 != stream.size()) return false;  // bytes after the stream's end
    stream[header / 8] &= static_cast<uint8_t>(~(1u << (header % 8)));
    const unsigned used = static_cast<unsigned>(end % 8);  // bits of the last byte in use
    if (used != 0) stream.back() &= static_cast<uint8_t>((1u << used) - 1);
    // An empty stored block: 3 header bits of 0 (not final, stored), padding to the byte
    // boundary, then LEN 0 and NLEN 0xFFFF. The header fits in the last byte's spare bits
    // when there are at least three of them.
    if (used == 0 || used > 5) stream.push_back(0);
    for (uint8_t byte : {0x00, 0x00, 0xFF, 0xFF}) stream.push_back(byte);
    return true;
}

}  // namespace tesk::zip
