// Compression primitives run on worker threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesk::zip {

// Raw deflate of a whole buffer at level 1..9 with libdeflate (one compressor per thread
// and level, kept for the thread's life) into out, which has room for size - 1 bytes.
// Returns the length, or 0 when the result would not be smaller than the input.
std::size_t DeflateInto(int level, const uint8_t *data, std::size_t size, uint8_t *out);

// One block of a deflate stream cut into independently compressed blocks (zlib, since
// libdeflate cannot end a block without ending the stream). dictionary is the input's
// preceding 32 KiB (or less at the start) so the ratio stays close to one stream's. A block
// that is not last ends with a sync flush, so the blocks concatenate into one valid stream.
bool DeflateBlock(int level, const uint8_t *dictionary, std::size_t dictionarySize,
                  const uint8_t *data, std::size_t size, bool last, std::vector<uint8_t> &out);

uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size);
// CRC of A followed by B, from the CRCs of both and B's length.
uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);

}  // namespace tesk::zip
