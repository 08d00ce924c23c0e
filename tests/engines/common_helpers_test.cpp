#include "PathSafety.h"
#include "TextEncoding.h"
#include "ZipTime.h"

#include <gtest/gtest.h>

using namespace tesk;

// The hostile set extracts the usual escapes; these are the forms it does not hold.
TEST(PathSafety, RefusesTheRarerWaysOut) {
    EXPECT_EQ(SplitRelativePath("a/b/..").risk, NameRisk::ParentReference);
    EXPECT_EQ(SplitRelativePath("\\\\server\\share\\x").risk, NameRisk::Absolute);
}

TEST(PathSafety, KeepsOrdinaryNames) {
    const RelativePath path = SplitRelativePath("./docs//sub/./a..b.txt");
    EXPECT_EQ(path.risk, NameRisk::None);
    EXPECT_EQ(path.parts, (std::vector<std::string>{"docs", "sub", "a..b.txt"}));
    // A backslash stays part of the name here; only ".." between backslashes is refused.
    EXPECT_EQ(SplitRelativePath("odd\\name").parts, (std::vector<std::string>{"odd\\name"}));
    EXPECT_EQ(SplitRelativePath("docs/").parts, (std::vector<std::string>{"docs"}));
}

TEST(PathSafety, LinkTargets) {
    EXPECT_TRUE(LinkTargetStaysInside("a.txt", 0));
    EXPECT_TRUE(LinkTargetStaysInside("sub/./a.txt", 0));
    EXPECT_TRUE(LinkTargetStaysInside("../a.txt", 1));
    EXPECT_TRUE(LinkTargetStaysInside("../../x/y", 2));
    EXPECT_FALSE(LinkTargetStaysInside("../a.txt", 0));
    EXPECT_FALSE(LinkTargetStaysInside("../../../x", 2));
    // ".." after a name could climb out of a link that name turns out to be.
    EXPECT_FALSE(LinkTargetStaysInside("sub/../a.txt", 3));
    EXPECT_FALSE(LinkTargetStaysInside("/etc/passwd", 5));
    EXPECT_FALSE(LinkTargetStaysInside("C:\\Windows", 5));
    EXPECT_FALSE(LinkTargetStaysInside("..\\..\\x", 1));
    EXPECT_FALSE(LinkTargetStaysInside("", 1));
}

TEST(TextEncoding, Utf8Validity) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));          // Latin-1
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // cut short
}

TEST(TextEncoding, Cp437) {
    EXPECT_EQ(Cp437ToUtf8("abc"), "abc");
    EXPECT_EQ(Cp437ToUtf8("\x82t\x82"), "\xC3\xA9t\xC3\xA9");  // "été"
    EXPECT_EQ(Cp437ToUtf8("\xE1"), "\xC3\x9F");                // sharp s
    EXPECT_EQ(Cp437ToUtf8("\xFF"), "\xC2\xA0");                // no-break space
    EXPECT_EQ(Cp437ToUtf8("\xB0"), "\xE2\x96\x91");            // light shade
}

TEST(ZipTime, DosFields) {
    // 2020-05-17 10:30:42
    const CalendarTime t = CalendarFromDos((40 << 9) | (5 << 5) | 17, (10 << 11) | (30 << 5) | 21);
    EXPECT_EQ(t.year, 2020);
    EXPECT_EQ(t.month, 5);
    EXPECT_EQ(t.day, 17);
    EXPECT_EQ(t.hour, 10);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 42);
    EXPECT_EQ(LocalCalendarFromUnix(UnixFromLocalCalendar(t)).second, 42);
}
