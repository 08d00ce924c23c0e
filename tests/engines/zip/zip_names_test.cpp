// Which files a run takes and the names it stores them under.
#include "ZipHarness.h"

#include <filesystem>
#include <unistd.h>

using namespace zipharness;
using testsupport::WriteFile;
using List = std::vector<std::string>;

namespace {

class ZipNames : public ZipEngineTest {
protected:
    // photos/{a.jpg, Makefile, .hidden, 2004/{b.jpg, raw/c.raw}} under src/.
    void MakeTree() {
        WriteFile(Path("src/photos/a.jpg"), "a");
        WriteFile(Path("src/photos/Makefile"), "m");
        WriteFile(Path("src/photos/.hidden"), "h");
        WriteFile(Path("src/photos/2004/b.jpg"), "b");
        WriteFile(Path("src/photos/2004/raw/c.raw"), "c");
        root_ = Path("src");
    }
    ZipOptions TreeOptions() {
        ZipOptions o = Options();
        o.RootDir = root_.c_str();
        return o;
    }
    std::string root_;
};

TEST_F(ZipNames, FolderSpecsAsTheProgramPassesThem) {
    MakeTree();
    ZipOptions o = TreeOptions();
    o.NoDirEntries = 1;
    // One spec per folder, either separator; "*.*" also takes names without a dot.
    ASSERT_EQ(Zip({"photos/*.*", "photos\\2004\\*.*", "photos/2004/raw/*.*"}, o), ZP_OK)
        << script_.AllMessages();
    EXPECT_EQ(Names(), (List{"photos/.hidden", "photos/Makefile", "photos/a.jpg", "photos/2004/b.jpg",
                              "photos/2004/raw/c.raw"}));
    ExpectValid(Archive());
}

TEST_F(ZipNames, FolderEntriesOnlyWhenWanted) {
    MakeTree();
    ZipOptions o = TreeOptions();
    o.NoDirEntries = 0;
    ASSERT_EQ(Zip({"photos/*.*", "photos/2004/*.*"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"photos/", "photos/.hidden", "photos/Makefile", "photos/a.jpg", "photos/2004/",
                              "photos/2004/b.jpg"}));
    const auto infos = Infos(Archive());
    EXPECT_EQ(infos.at("photos/").externalAttr >> 16 & 0170000, 0040000u);
    EXPECT_EQ(infos.at("photos/").externalAttr & 0x10, 0x10u);
}

TEST_F(ZipNames, RecursionWalksEveryFolderBelow) {
    MakeTree();
    ZipOptions o = TreeOptions();
    o.Recurse = 2;
    ASSERT_EQ(Zip({"photos/*.jpg"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"photos/2004/b.jpg", "photos/a.jpg"}));
    ASSERT_EQ(Zip({"photos/2004/*"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"photos/2004/", "photos/2004/b.jpg", "photos/2004/raw/",
                              "photos/2004/raw/c.raw"}));
    // A folder named with recursion brings its whole tree.
    o.NoDirEntries = 1;
    ASSERT_EQ(Zip(Path("tree.zip"), {"photos"}, o), ZP_OK);
    EXPECT_EQ(Names(Path("tree.zip")), (List{"photos/.hidden", "photos/2004/b.jpg", "photos/2004/raw/c.raw",
                                               "photos/Makefile", "photos/a.jpg"}));
}

TEST_F(ZipNames, DotfilesAreOrdinaryFiles) {
    MakeTree();
    WriteFile(Path("src/photos/.config/k.txt"), "k");
    ZipOptions o = TreeOptions();
    o.NoDirEntries = 1;
    for (int32_t systemHidden : {0, 1}) {
        o.SystemHidden = systemHidden;
        ASSERT_EQ(Zip({"photos/*.*"}, o), ZP_OK);
        EXPECT_EQ(Names(), (List{"photos/.hidden", "photos/Makefile", "photos/a.jpg"}));
        o.Recurse = 2;
        ASSERT_EQ(Zip({"photos/.*"}, o), ZP_OK);
        EXPECT_EQ(Names(), (List{"photos/.hidden"}));
        ASSERT_EQ(Zip({"photos/.config"}, o), ZP_OK);
        EXPECT_EQ(Names(), (List{"photos/.config/k.txt"}));
        o.Recurse = 0;
    }
}

TEST_F(ZipNames, JunkedFolderNamesAndAbsolutePaths) {
    MakeTree();
    ZipOptions o = Options();
    o.RootDir = nullptr;
    o.JunkDirNames = 1;
    ASSERT_EQ(Zip({Path("src/photos/a.jpg"), Path("src/photos/2004/b.jpg")}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.jpg", "b.jpg"}));
    // Outside RootDir an absolute path keeps its folders without the leading "/".
    o.JunkDirNames = 0;
    o.RootDir = root_.c_str();
    const std::string outside = Path("other/x.txt");
    WriteFile(outside, "x");
    ASSERT_EQ(Zip({Path("src/photos/a.jpg"), outside, "../other/x.txt"}, o), ZP_OK)
        << script_.AllMessages();
    EXPECT_EQ(Names(), (List{"photos/a.jpg", outside.substr(1), "other/x.txt"}));
}

TEST_F(ZipNames, TwoFilesUnderOneNameFailTheRun) {
    MakeTree();
    WriteFile(Path("src/other/a.jpg"), "other");
    ZipOptions o = TreeOptions();
    o.JunkDirNames = 1;
    EXPECT_EQ(Zip({"photos/a.jpg", "other/a.jpg"}, o), ZP_ERR_DUPLICATE);
    EXPECT_FALSE(std::filesystem::exists(Archive()));
    EXPECT_NE(script_.AllMessages().find("a.jpg"), std::string::npos);
    // The same file named twice is stored once.
    EXPECT_EQ(Zip({"photos/a.jpg", "photos/*.jpg"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.jpg"}));
}

TEST_F(ZipNames, NothingMatched) {
    MakeTree();
    EXPECT_EQ(Zip({"photos/*.gif", "missing.txt"}, TreeOptions()), ZP_ERR_NOMATCH);
    EXPECT_FALSE(std::filesystem::exists(Archive()));
    EXPECT_NE(script_.AllMessages().find("missing.txt"), std::string::npos);
}

TEST_F(ZipNames, SymlinksFollowedForFilesNeverForFolders) {
    MakeTree();
    ASSERT_EQ(::symlink("a.jpg", Path("src/photos/link.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("2004", Path("src/photos/linkdir").c_str()), 0);
    ASSERT_EQ(::symlink("gone.jpg", Path("src/photos/dangling.jpg").c_str()), 0);
    ASSERT_EQ(::symlink("..", Path("src/photos/2004/loop").c_str()), 0);
    ZipOptions o = TreeOptions();
    o.Recurse = 2;
    o.NoDirEntries = 1;
    ASSERT_EQ(Zip({"photos/*.*"}, o), ZP_OK) << script_.AllMessages();
    EXPECT_EQ(Names(), (List{"photos/.hidden", "photos/2004/b.jpg", "photos/2004/raw/c.raw",
                              "photos/Makefile", "photos/a.jpg", "photos/link.jpg"}));
    EXPECT_EQ(Read(Archive(), "photos/link.jpg"), "a");
    EXPECT_NE(script_.AllMessages().find("dangling.jpg"), std::string::npos);
}

TEST_F(ZipNames, NonAsciiNamesAreFlaggedUtf8) {
    WriteFile(Path("caf\xC3\xA9.txt"), "x");
    WriteFile(Path("plain.txt"), "y");
    ASSERT_EQ(Zip({"*.txt"}, Options()), ZP_OK);
    const auto infos = Infos(Archive());
    EXPECT_TRUE(infos.at("caf\xC3\xA9.txt").flags & 0x800);
    EXPECT_FALSE(infos.at("plain.txt").flags & 0x800);
    ExpectValid(Archive());
}

TEST_F(ZipNames, TheArchiveNeverStoresItself) {
    WriteFile(Path("a.txt"), "a");
    ZipOptions o = Options();
    ASSERT_EQ(Zip({"*.*"}, o), ZP_OK);
    o.Append = 1;
    WriteFile(Path("b.txt"), "b");
    ASSERT_EQ(Zip({"*.*"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.txt", "b.txt"}));
}

}  // namespace
