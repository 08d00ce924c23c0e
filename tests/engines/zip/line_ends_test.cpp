// Line-end conversion cut into ranges, as large files are, gives what the whole gives.
#include "LineEnds.h"

#include <gtest/gtest.h>

#include <string>

using tesk::zip::ConvertedLength;
using tesk::zip::ConvertLineEnds;
using tesk::zip::LineEnds;

namespace {

std::string Convert(LineEnds mode, const std::string &text, std::size_t cut) {
    const auto *data = reinterpret_cast<const uint8_t *>(text.data());
    std::vector<uint8_t> out;
    auto range = [&](std::size_t from, std::size_t to) {
        const int before = from > 0 ? data[from - 1] : -1;
        const int after = to < text.size() ? data[to] : -1;
        const std::size_t start = out.size();
        ConvertLineEnds(mode, data + from, to - from, before, after, out);
        EXPECT_EQ(out.size() - start, ConvertedLength(mode, data + from, to - from, before, after));
    };
    range(0, cut);
    range(cut, text.size());
    return std::string(out.begin(), out.end());
}

TEST(LineEnds, RangesConvertLikeTheWhole) {
    const std::string text = "a\r\nb\nc\r\rd\r\n\n\re\r";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(Convert(LineEnds::CrLfToLf, text, cut), "a\nb\nc\r\rd\n\n\re\r");
        EXPECT_EQ(Convert(LineEnds::LfToCrLf, text, cut), "a\r\nb\r\nc\r\rd\r\n\r\n\re\r");
    }
}

}  // namespace
