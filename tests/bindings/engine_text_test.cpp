#include "EngineText.h"
#include "mUnzip.h"

#include <gtest/gtest.h>

TEST(EngineText, ToBackslashesKeepsALeadingSlash) {
    std::string text = "12/31/03 a.txt";
    EXPECT_EQ(ToBackslashes(text, '\\'), 7);
    EXPECT_EQ(text, "12\\31\\03 a.txt");

    text = "/a/b";
    EXPECT_EQ(ToBackslashes(text, '\\'), 4);
    EXPECT_EQ(text, "/a\\b");

    text = "/";
    EXPECT_EQ(ToBackslashes(text, '\\'), 2);
    EXPECT_EQ(text, "/");

    text = "plain";
    EXPECT_EQ(ToBackslashes(text, '\\'), 1);

    text = "a/b";
    EXPECT_EQ(ToBackslashes(text, '/'), 3);
    EXPECT_EQ(text, "a/b");
}

TEST(EngineText, SplitEntryPathGivesFolderAndName) {
    std::string folder, name;
    SplitEntryPath("docs/img/a.png", folder, name);
    EXPECT_EQ(folder, "docs/img");
    EXPECT_EQ(name, "a.png");
    SplitEntryPath("readme.txt", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "readme.txt");
    SplitEntryPath("docs/", folder, name);
    EXPECT_EQ(folder, "docs");
    EXPECT_EQ(name, "");
    SplitEntryPath("/a.txt", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "a.txt");
    SplitEntryPath(std::string("x/y\0/z", 6), folder, name);
    EXPECT_EQ(folder, "x");
    EXPECT_EQ(name, "y");
}

TEST(EngineText, TrimSpacesOnlyTrimsSpaces) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
}

TEST(EngineText, NameListHoldsNamesThenAnEmptyTextThenNulls) {
    std::vector<std::string> names = {"a", "b"};
    auto table = platform::BuildNameList(2, names, "src");
    EXPECT_STREQ(table[0], "a");
    EXPECT_STREQ(table[1], "b");
    EXPECT_STREQ(table[2], "");
    EXPECT_EQ(table[3], nullptr);
    EXPECT_EQ(table[1023], nullptr);
    EXPECT_THROW(platform::BuildNameList(3, names, "src"), TeskError);
    EXPECT_THROW(platform::BuildNameList(-1, names, "src"), TeskError);
}
