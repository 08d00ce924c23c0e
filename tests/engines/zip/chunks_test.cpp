// Data cut into chunks, as large files are: line ends converted range by range, and chunks
// compressed on their own and joined into one deflate stream.
#include "Deflate.h"
#include "DeflateJoin.h"
#include "LineEnds.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace tesk::zip;
using Bytes = std::vector<uint8_t>;

namespace {

// Through an independent decoder, which must end exactly at the stream's end.
Bytes Inflate(const Bytes &s, std::size_t size) {
    Bytes out(size);
    std::size_t in = 0, made = 0;
    libdeflate_decompressor *d = libdeflate_alloc_decompressor();
    EXPECT_EQ(libdeflate_deflate_decompress_ex(d, s.data(), s.size(), out.data(), size, &in, &made),
              LIBDEFLATE_SUCCESS);
    libdeflate_free_decompressor(d);
    EXPECT_EQ(in, s.size());
    out.resize(made);
    return out;
}

// Text, noise (stored blocks), runs and a few tiny pieces (fixed-code blocks).
Bytes MixedData() {
    std::mt19937 rng(5);
    Bytes data;
    const std::string words[] = {"alpha ", "beta ", "gamma\n", "delta ", "{ return x; }\n"};
    while (data.size() < 600000) {
        const std::string &word = words[rng() % 5];
        data.insert(data.end(), word.begin(), word.end());
    }
    for (int i = 0; i < 200000; ++i) data.push_back(static_cast<uint8_t>(rng()));
    data.insert(data.end(), 100000, 'z');
    return data;
}

Bytes Compress(int level, const Bytes &in, std::size_t from, std::size_t to) {
    libdeflate_compressor *c = libdeflate_alloc_compressor(level);
    Bytes out(libdeflate_deflate_compress_bound(c, to - from));
    out.resize(libdeflate_deflate_compress(c, in.data() + from, to - from, out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

TEST(DeflateJoin, ChunksJoinIntoOneStream) {
    const Bytes data = MixedData();
    // Cuts through text, noise and runs, including a chunk of one byte.
    const std::size_t cuts[] = {0, 1, 7, 70000, 650000, 700001, 850000, data.size()};
    for (int level = 1; level <= 9; ++level) {
        Bytes joined;
        for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
            Bytes chunk = Compress(LibdeflateLevel(level), data, cuts[i], cuts[i + 1]);
            ASSERT_TRUE(i + 2 == std::size(cuts) || MakeJoinable(chunk)) << level << " " << i;
            joined.insert(joined.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(Inflate(joined, data.size()), data) << "level " << level;
    }
    // The engine's own chunks, each but the last made to go on as it is compressed.
    Bytes joined, chunk;
    for (std::size_t at = 0, step = 256 * 1024; at < data.size(); at += step) {
        const std::size_t size = std::min(step, data.size() - at);
        ASSERT_TRUE(DeflateChunk(6, data.data() + at, size, at + size == data.size(), chunk));
        joined.insert(joined.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(Inflate(joined, data.size()), data);
}

TEST(DeflateJoin, RefusesWhatIsNotOneWholeStream) {
    const Bytes data = MixedData(), stream = Compress(6, data, 0, data.size());
    Bytes longer = stream;
    longer.push_back(0);
    // Cut short, longer, a final block of the reserved type 3, empty, and cut inside the first
    // block's header and tables.
    std::vector<Bytes> bad = {Bytes(stream.begin(), stream.end() - 3), longer, {0x07, 0x00}, {}};
    for (std::size_t size = 1; size < 64; ++size)
        bad.emplace_back(stream.begin(), stream.begin() + size);
    for (const Bytes &before : bad) {
        Bytes chunk = before;
        EXPECT_FALSE(MakeJoinable(chunk)) << before.size();
        EXPECT_EQ(chunk, before);  // left as it was
    }
}

std::string Convert(LineEnds mode, const std::string &text, std::size_t cut) {
    const auto *data = reinterpret_cast<const uint8_t *>(text.data());
    std::vector<uint8_t> out;
    for (const auto &[from, to] : {std::pair{std::size_t{0}, cut}, std::pair{cut, text.size()}}) {
        const int before = from > 0 ? data[from - 1] : -1, after = to < text.size() ? data[to] : -1;
        const std::size_t start = out.size();
        ConvertLineEnds(mode, data + from, to - from, before, after, out);
        EXPECT_EQ(out.size() - start, ConvertedLength(mode, data + from, to - from, before, after));
    }
    return std::string(out.begin(), out.end());
}

TEST(LineEnds, RangesConvertLikeTheWhole) {
    const std::string text = "a\r\nb\nc\r\rd\r\n\n\re\r";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        EXPECT_EQ(Convert(LineEnds::CrLfToLf, text, cut), "a\nb\nc\r\rd\n\n\re\r") << cut;
        EXPECT_EQ(Convert(LineEnds::LfToCrLf, text, cut), "a\r\nb\r\nc\r\rd\r\n\r\n\re\r") << cut;
        EXPECT_EQ(Convert(LineEnds::Keep, text, cut), text) << cut;
    }
}

}  // namespace
