#include "EngineText.h"
#include "mUnzip.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::string_literals;

// Each "/" after the first character becomes the separator; the position after the last
// one splits an entry path into its folder and its name, which end at a NUL.
TEST(EngineText, SlashesAndEntryPaths) {
    const struct {
        int32_t after;
        std::string path, backslashed, split;
    } rows[] = {
        {7, "12/31/03 a.txt", "12\\31\\03 a.txt", "12/31|03 a.txt"},
        {4, "/a/b", "/a\\b", "/a|b"},
        {2, "/", "/", "|"},
        {1, "plain", "plain", "|plain"},
        {6, "docs/", "docs\\", "docs|"},
        {2, "/a.txt", "/a.txt", "|a.txt"},
        {6, "x/y\0/z"s, "x\\y\0\\z"s, "x|y"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.path);
        for (const char separator : {'\\', '/'}) {
            std::string text = r.path;
            EXPECT_EQ(ToBackslashes(text, separator), r.after);
            EXPECT_EQ(text, separator == '/' ? r.path : r.backslashed);
        }
        std::string folder, name;
        SplitEntryPath(r.path, folder, name);
        EXPECT_EQ(folder + "|" + name, r.split);
    }
}

// Only spaces are trimmed. A name table holds the names, an empty text, then nulls.
TEST(EngineText, TrimSpacesAndNameTables) {
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
    const std::vector<std::string> names = {"a", "b"};
    const auto table = platform::BuildNameList(2, names, "src");
    EXPECT_EQ(std::vector<std::string>(table.begin(), table.begin() + 3),
              (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(std::count(table.begin(), table.end(), nullptr), 1021);
    EXPECT_THROW(platform::BuildNameList(3, names, "src"), TeskError);
    EXPECT_THROW(platform::BuildNameList(-1, names, "src"), TeskError);
}
