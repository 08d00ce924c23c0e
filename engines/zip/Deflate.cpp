#include "Deflate.h"

#include <libdeflate.h>
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

}  // namespace

std::size_t DeflateInto(int level, const uint8_t *data, std::size_t size, uint8_t *out) {
    libdeflate_compressor *compressor = CompressorFor(level);
    if (!compressor || size == 0) return 0;
    // Asking for less room than the input makes libdeflate give up early on noise.
    const std::size_t n = libdeflate_deflate_compress(compressor, data, size, out, size - 1);
    return n;
}

bool DeflateBlock(int level, const uint8_t *dictionary, std::size_t dictionarySize,
                  const uint8_t *data, std::size_t size, bool last, std::vector<uint8_t> &out) {
    z_stream zs{};
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    bool ok = dictionarySize == 0 ||
              deflateSetDictionary(&zs, dictionary, static_cast<uInt>(dictionarySize)) == Z_OK;
    out.resize(deflateBound(&zs, size) + 64);
    zs.next_in = const_cast<Bytef *>(data);
    zs.avail_in = static_cast<uInt>(size);
    std::size_t produced = 0;
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    while (ok) {
        if (produced == out.size()) out.resize(out.size() * 2);
        zs.next_out = out.data() + produced;
        zs.avail_out = static_cast<uInt>(out.size() - produced);
        const int rc = deflate(&zs, flush);
        produced = out.size() - zs.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && rc != Z_BUF_ERROR) ok = false;
        // A sync flush is complete once all input went in and room was left over.
        if (!last && zs.avail_in == 0 && zs.avail_out > 0) break;
    }
    deflateEnd(&zs);
    out.resize(produced);
    return ok;
}

uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size) {
    return libdeflate_crc32(crc, data, size);
}

uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB) {
    return static_cast<uint32_t>(crc32_combine64(crcA, crcB, static_cast<z_off64_t>(lengthB)));
}

}  // namespace tesk::zip
