// Chunks compressed on their own and joined into one deflate stream.
#include "Deflate.h"
#include "DeflateJoin.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

using namespace tesk::zip;

namespace {

std::vector<uint8_t> Inflate(const std::vector<uint8_t> &stream, std::size_t expected) {
    std::vector<uint8_t> out(expected + 1);
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -15), Z_OK);
    zs.next_in = const_cast<Bytef *>(stream.data());
    zs.avail_in = static_cast<uInt>(stream.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u);  // the stream ends exactly at the last chunk's end
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

// Text, noise (stored blocks), runs and a few tiny pieces (fixed-code blocks).
std::vector<uint8_t> MixedData() {
    std::mt19937 rng(5);
    std::vector<uint8_t> data;
    const char *words[] = {"alpha ", "beta ", "gamma\n", "delta ", "{ return x; }\n"};
    while (data.size() < 600000) {
        const std::string w = words[rng() % 5];
        data.insert(data.end(), w.begin(), w.end());
    }
    for (int i = 0; i < 200000; ++i) data.push_back(static_cast<uint8_t>(rng()));
    data.insert(data.end(), 100000, 'z');
    return data;
}

TEST(DeflateJoin, ChunksJoinIntoOneStreamAtEveryLevel) {
    const std::vector<uint8_t> data = MixedData();
    // Chunk sizes that cut through text, noise and runs, including a chunk of one byte.
    const std::size_t cuts[] = {0, 1, 7, 70000, 650000, 700001, 850000, data.size()};
    for (int level = 1; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        libdeflate_compressor *c = libdeflate_alloc_compressor(LibdeflateLevel(level));
        std::vector<uint8_t> joined;
        for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
            const bool last = i + 2 == std::size(cuts);
            const std::size_t size = cuts[i + 1] - cuts[i];
            std::vector<uint8_t> chunk(libdeflate_deflate_compress_bound(c, size));
            chunk.resize(libdeflate_deflate_compress(c, data.data() + cuts[i], size, chunk.data(),
                                                     chunk.size()));
            if (!last) {
                ASSERT_TRUE(MakeJoinable(chunk)) << "chunk " << i;
            }
            joined.insert(joined.end(), chunk.begin(), chunk.end());
        }
        libdeflate_free_compressor(c);
        EXPECT_EQ(Inflate(joined, data.size()), data);
    }
}

TEST(DeflateJoin, EngineChunksConcatenate) {
    const std::vector<uint8_t> data = MixedData();
    std::vector<uint8_t> joined, chunk;
    const std::size_t step = 256 * 1024;
    for (std::size_t at = 0; at < data.size(); at += step) {
        const std::size_t size = std::min(step, data.size() - at);
        ASSERT_TRUE(DeflateChunk(6, data.data() + at, size, at + size == data.size(), chunk));
        joined.insert(joined.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(Inflate(joined, data.size()), data);
}

TEST(DeflateJoin, RefusesWhatIsNotOneWholeStream) {
    const std::vector<uint8_t> data = MixedData();
    libdeflate_compressor *c = libdeflate_alloc_compressor(6);
    std::vector<uint8_t> stream(libdeflate_deflate_compress_bound(c, data.size()));
    stream.resize(libdeflate_deflate_compress(c, data.data(), data.size(), stream.data(), stream.size()));
    libdeflate_free_compressor(c);

    std::vector<uint8_t> cut(stream.begin(), stream.end() - 3);
    const std::vector<uint8_t> cutCopy = cut;
    EXPECT_FALSE(MakeJoinable(cut));
    EXPECT_EQ(cut, cutCopy);  // left as it was

    std::vector<uint8_t> longer = stream;
    longer.push_back(0);
    EXPECT_FALSE(MakeJoinable(longer));

    std::vector<uint8_t> reserved = {0x07, 0x00};  // final block of the reserved type 3
    EXPECT_FALSE(MakeJoinable(reserved));
    std::vector<uint8_t> empty;
    EXPECT_FALSE(MakeJoinable(empty));
}

}  // namespace
