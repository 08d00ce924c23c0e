#include "Deflate.h"

#include "DeflateJoin.h"

#include <libdeflate.h>
#include <memory>
#include <zlib.h>

namespace tesk::zip {
namespace {

libdeflate_compressor *CompressorFor(int level) {
    struct Cache {
        libdeflate_compressor *byLevel[13] = {};
        ~Cache() {
            for (auto *c : byLevel) libdeflate_free_compressor(c);
        }
    };
    thread_local Cache cache;
    if (!cache.byLevel[level]) cache.byLevel[level] = libdeflate_alloc_compressor(level);
    return cache.byLevel[level];
}

// The same chunk with zlib and a sync flush: a fallback that never comes into play unless
// libdeflate's output could not be walked.
bool ZlibChunk(int level, const uint8_t *data, std::size_t size, bool last,
               std::vector<uint8_t> &out) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    out.resize(deflateBound(&zs, size) + 64);
    zs.next_in = const_cast<Bytef *>(data);
    zs.avail_in = static_cast<uInt>(size);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool ok = last ? rc == Z_STREAM_END : rc == Z_OK && zs.avail_in == 0 && zs.avail_out > 0;
    out.resize(out.size() - zs.avail_out);
    deflateEnd(&zs);
    return ok;
}

}  // namespace

int LibdeflateLevel(int level) {
    static constexpr int kLevels[10] = {0, 1, 1, 2, 3, 4, 5, 6, 6, 6};
    return kLevels[level < 1 ? 1 : level > 9 ? 9 : level];
}

std::size_t DeflateInto(int level, const uint8_t *data, std::size_t size, uint8_t *out) {
    libdeflate_compressor *compressor = CompressorFor(LibdeflateLevel(level));
    if (!compressor || size == 0) return 0;
    // Asking for less room than the input makes libdeflate give up early on noise.
    const std::size_t n = libdeflate_deflate_compress(compressor, data, size, out, size - 1);
    return n;
}

bool DeflateChunk(int level, const uint8_t *data, std::size_t size, bool last,
                  std::vector<uint8_t> &out) {
    libdeflate_compressor *compressor = CompressorFor(LibdeflateLevel(level));
    if (!compressor) return false;
    // A buffer kept per thread: a fresh zero-filled one for every chunk costs more than the
    // copy of the (smaller) result.
    thread_local std::unique_ptr<uint8_t[]> buffer;
    thread_local std::size_t capacity = 0;
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, size);
    if (bound > capacity) {
        buffer.reset(new uint8_t[bound]);
        capacity = bound;
    }
    const std::size_t n = libdeflate_deflate_compress(compressor, data, size, buffer.get(), bound);
    if (n == 0) return false;
    out.reserve(n + 8);
    out.assign(buffer.get(), buffer.get() + n);
    if (last || MakeJoinable(out)) return true;
    return ZlibChunk(level, data, size, last, out);
}

uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size) {
    return libdeflate_crc32(crc, data, size);
}

uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
    return static_cast<uint32_t>(crc32_combine64(crcA, crcB, static_cast<z_off64_t>(lengthB)));
}

}  // namespace tesk::zip
