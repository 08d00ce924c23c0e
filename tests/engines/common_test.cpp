// Runs common_cases.tsv: calls of the helpers the engines share, and what each must give.
#include "PathSafety.h"
#include "TextEncoding.h"
#include "ZipTime.h"
#include "wildcard.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace tesk;

namespace {

std::string Unescape(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hex = text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() &&
                         text.find_first_not_of("0123456789ABCDEF", i + 2) >= i + 4;
        out += hex ? static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)) : text[i];
        if (hex) i += 3;
    }
    return out;
}

// What the helper named in the row's first field gives for the arguments after it.
std::string Call(const std::vector<std::string> &r) {
    if (r[0] == "WildcardMatch") return std::to_string(WildcardMatch(r[1], r[2], r[3] == "case"));
    if (r[0] == "FileSpecMatch") return std::to_string(FileSpecMatch(r[1], r[2], true));
    if (r[0] == "LinkTargetStaysInside")
        return std::to_string(LinkTargetStaysInside(r[1], std::stoul(r[2])));
    if (r[0] == "IsValidUtf8") return std::to_string(IsValidUtf8(r[1]));
    if (r[0] == "Cp437ToUtf8") return Cp437ToUtf8(r[1]);
    if (r[0] == "SplitRelativePath") {
        const RelativePath path = SplitRelativePath(r[1]);
        std::string out = NameRiskText(path.risk);
        for (const auto &part : path.parts) out += "|" + part;
        return out;
    }
    const CalendarTime t = CalendarFromDos(std::stoi(r[1]), std::stoi(r[2]));
    char s[64];
    std::snprintf(s, sizeof s, "%04d-%02d-%02d %02d:%02d:%02d %d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, LocalCalendarFromUnix(UnixFromLocalCalendar(t)).second);
    return s;
}

TEST(CommonHelpers, GiveWhatTheTableSays) {
    const auto rows = testsupport::ReadTable(COMMON_CASES, "\t");
    ASSERT_GT(rows.size(), 30u) << COMMON_CASES;
    for (auto fields : rows) {
        for (auto &field : fields) field = Unescape(field);
        EXPECT_EQ(Call(fields), fields.back()) << fields[0] << " " << fields[1];
    }
}

}  // namespace
