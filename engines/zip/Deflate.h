// Compression primitives run on worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesk::zip {

// The libdeflate level that stands for a zip level of 1..9. libdeflate's levels compress
// better than zlib's of the same number, so each level takes the fastest libdeflate level
// whose archives are still no larger than zlib's at that level (measured on source trees and
// mixed binaries).
int LibdeflateLevel(int level);

// Raw deflate of a whole buffer at level 1..9 with libdeflate (one compressor per thread
// and level, kept for the thread's life) into out, which has room for size - 1 bytes.
// Returns the length, or 0 when the result would not be smaller than the input.
std::size_t DeflateInto(int level, const uint8_t *data, std::size_t size, uint8_t *out);

// One chunk of a deflate stream cut into independently compressed chunks, into out. A chunk
// that is not last ends byte-aligned without ending the stream, so the chunks concatenate
// into one valid stream. Returns false only when out of memory.
bool DeflateChunk(int level, const uint8_t *data, std::size_t size, bool last,
                  std::vector<uint8_t> &out);

uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size);
// CRC of A followed by B, from the CRCs of both and B's length.
uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

}  // namespace tesk::zip
