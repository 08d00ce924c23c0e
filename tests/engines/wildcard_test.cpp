#include "wildcard.h"

#include <gtest/gtest.h>

using tesk::FileSpecMatch;
using tesk::WildcardMatch;

TEST(Wildcard, LiteralAndCase) {
    EXPECT_TRUE(WildcardMatch("docs/a.txt", "docs/a.txt", true));
    EXPECT_FALSE(WildcardMatch("docs/A.txt", "docs/a.txt", true));
    EXPECT_TRUE(WildcardMatch("docs/A.txt", "docs/a.txt", false));
    EXPECT_FALSE(WildcardMatch("docs/a.txt", "docs/a.txt2", false));
    EXPECT_FALSE(WildcardMatch("", "a", true));
    EXPECT_TRUE(WildcardMatch("", "", true));
}

TEST(Wildcard, StarAndQuestion) {
    EXPECT_TRUE(WildcardMatch("*", "", true));
    EXPECT_TRUE(WildcardMatch("*.txt", "docs/sub/a.txt", true));
    EXPECT_TRUE(WildcardMatch("d*s/*b/?.txt", "docs/sub/a.txt", true));
    EXPECT_FALSE(WildcardMatch("?.txt", "ab.txt", true));
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXbYbZc", true));
    EXPECT_FALSE(WildcardMatch("a*b*c", "aXbYbZ", true));
    // "?" takes one whole UTF-8 character.
    EXPECT_TRUE(WildcardMatch("?.txt", "\xC3\xA9.txt", true));
    EXPECT_TRUE(WildcardMatch("*\xC3\xA9", "x\xC3\xA9", true));
    EXPECT_TRUE(WildcardMatch("x?", "x\xC3\xA9", true));  // also when it ends the name
}

TEST(Wildcard, FileSpecDotStar) {
    EXPECT_TRUE(FileSpecMatch("*.*", "Makefile", true));
    EXPECT_TRUE(FileSpecMatch("*.*", "a.tar.gz", true));
    EXPECT_TRUE(FileSpecMatch("abc.*", "abc", true));
    EXPECT_FALSE(FileSpecMatch("abc.*", "abcd", true));
    EXPECT_FALSE(FileSpecMatch("*.txt", "txt", true));
}
