// Which files a run takes and the names it stores them under.
#include "ZipHarness.h"

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipharness;
using testsupport::ShellQuote;
using testsupport::WriteFile;
using List = std::vector<std::string>;

namespace {

class ZipNames : public ZipEngineTest {
protected:
    // photos/{a.jpg, Makefile, .hidden, .config/k.txt, 2004/{b.jpg, raw/c.raw, loop -> ..},
    // link.jpg -> a.jpg, linkdir -> 2004, dangling.jpg -> gone.jpg} and
    // locked/{open.txt, pipe (a FIFO), rdonly/x.txt (folder r--), closed/y.txt (folder -wx)}
    // under src/.
    void MakeTree() {
        for (const char *file : {"photos/a.jpg", "photos/Makefile", "photos/.hidden",
                                 "photos/.config/k.txt", "photos/2004/b.jpg", "photos/2004/raw/c.raw",
                                 "locked/open.txt", "locked/rdonly/x.txt", "locked/closed/y.txt"})
            WriteFile(Path(std::string("src/") + file), file);
        for (const auto &[target, link] : {std::pair{"a.jpg", "photos/link.jpg"}, {"2004", "photos/linkdir"},
                                           {"gone.jpg", "photos/dangling.jpg"}, {"..", "photos/2004/loop"}})
            ASSERT_EQ(::symlink(target, Path(std::string("src/") + link).c_str()), 0);
        ASSERT_EQ(::mkfifo(Path("src/locked/pipe").c_str(), 0644), 0);
        ::chmod(Path("src/locked/rdonly").c_str(), 0444);
        ::chmod(Path("src/locked/closed").c_str(), 0300);
        root_ = Path("src");
    }
    ZipOptions TreeOptions() {
        ZipOptions o = Options();
        o.RootDir = root_.c_str();
        return o;
    }
    std::string root_;
};

enum Flags { kRecurse = 1, kNoDirs = 2, kSystemHidden = 4, kQuiet = 8 };

struct WalkCase {
    const char *what;
    List specs;
    int flags;
    int32_t result;
    List names;           // empty: no archive is written
    const char *message;  // a message holds this
};

void PrintTo(const WalkCase &c, std::ostream *os) { *os << c.what; }

class ZipWalk : public ZipNames, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(ZipWalk, TakesWhatTheSpecsName) {
    const WalkCase &c = GetParam();
    MakeTree();
    ZipOptions o = TreeOptions();
    o.Recurse = c.flags & kRecurse ? 2 : 0;
    o.NoDirEntries = c.flags & kNoDirs ? 1 : 0;
    o.SystemHidden = c.flags & kSystemHidden ? 1 : 0;
    o.Quiet = c.flags & kQuiet ? 1 : 0;
    EXPECT_EQ(ZipBoundByModes(c.specs, o), c.result) << script_.AllMessages();
    if (c.names.empty()) {
        EXPECT_FALSE(std::filesystem::exists(Archive()));
    } else {
        EXPECT_EQ(Names(), c.names);
        ExpectValid(Archive());
    }
    EXPECT_NE(script_.AllMessages().find(c.message), std::string::npos) << script_.AllMessages();
}

const List kPhotosTree = {"photos/.config/k.txt", "photos/.hidden", "photos/2004/b.jpg",
                          "photos/2004/loop", "photos/2004/raw/c.raw", "photos/Makefile",
                          "photos/a.jpg", "photos/dangling.jpg", "photos/link.jpg", "photos/linkdir"};

INSTANTIATE_TEST_SUITE_P(Rows, ZipWalk, ::testing::Values(
    WalkCase{"one spec per folder, either separator; links to folders stored as links",
             {"photos/*.*", "photos\\2004\\*.*", "photos/2004/raw/*.*"}, kNoDirs, ZP_OK,
             {"photos/.hidden", "photos/Makefile", "photos/a.jpg", "photos/dangling.jpg", "photos/link.jpg",
              "photos/linkdir", "photos/2004/b.jpg", "photos/2004/loop", "photos/2004/raw/c.raw"},
             "photos/linkdir is a link to a folder: stored as the link to 2004"},
    WalkCase{"folder entries", {"photos/*.*", "photos/2004/*.*"}, 0, ZP_OK,
             {"photos/", "photos/.hidden", "photos/Makefile", "photos/a.jpg", "photos/dangling.jpg",
              "photos/link.jpg", "photos/linkdir", "photos/2004/", "photos/2004/b.jpg", "photos/2004/loop"}, ""},
    WalkCase{"a pattern with recursion", {"photos/*.jpg"}, kRecurse, ZP_OK,
             {"photos/2004/b.jpg", "photos/a.jpg", "photos/dangling.jpg", "photos/link.jpg"},
             "photos/dangling.jpg is a link that leads nowhere (No such file or directory)"},
    WalkCase{"recursion from a folder below", {"photos/2004/*"}, kRecurse, ZP_OK,
             {"photos/2004/", "photos/2004/b.jpg", "photos/2004/loop", "photos/2004/raw/", "photos/2004/raw/c.raw"},
             "photos/2004/loop is a link to a folder"},
    WalkCase{"a named folder brings its tree, dotfiles and dot-folders too", {"photos"}, kRecurse | kNoDirs,
             ZP_OK, kPhotosTree, ""},
    WalkCase{"SystemHidden changes nothing", {"photos"}, kRecurse | kNoDirs | kSystemHidden, ZP_OK, kPhotosTree, ""},
    WalkCase{"a dotfile named", {"photos/.hidden"}, 0, ZP_OK, {"photos/.hidden"}, ""},
    WalkCase{"nothing matched", {"photos/*.gif", "missing.txt"}, 0, ZP_ERR_NOMATCH, {}, "missing.txt"},
    WalkCase{"a named file that is missing", {"photos/a.jpg", "photos/gone.txt"}, 0, ZP_ERR_READ, {"photos/a.jpg"},
             "name not matched: photos/gone.txt: No such file or directory"},
    WalkCase{"a folder that can be read but not entered", {"locked/rdonly/*.*"}, 0, ZP_ERR_READ,
             {"locked/rdonly/"}, "cannot enter folder " },
    WalkCase{"the same, told also when quiet", {"locked/rdonly/*.*"}, kQuiet, ZP_ERR_READ,
             {"locked/rdonly/"}, "locked/rdonly: Permission denied; 1 name in it left out"},
    WalkCase{"a folder that cannot be read", {"locked/closed/*.*"}, 0, ZP_ERR_READ, {"locked/closed/"},
             "locked/closed: Permission denied; its files are left out"},
    WalkCase{"the rest of the walk is archived; the summary names the first loss", {"locked"}, kRecurse,
             ZP_ERR_READ, {"locked/", "locked/closed/", "locked/open.txt", "locked/rdonly/"},
             "3 not archived as found (cannot read folder "},
    WalkCase{"a pipe in a folder is left out, named", {"locked/*.*"}, 0, ZP_ERR_READ, {"locked/", "locked/open.txt"},
             "locked/pipe: a pipe, not a regular file; left out"},
    WalkCase{"a file named in a folder that cannot be entered", {"locked/rdonly/x.txt", "locked/open.txt"}, 0,
             ZP_ERR_READ, {}, "cannot read locked/rdonly/x.txt: Permission denied"}),
    [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST_F(ZipNames, LinksAndFoldersKeepTheirKind) {
    MakeTree();
    ZipOptions o = TreeOptions();
    o.Recurse = 2;
    ASSERT_EQ(Zip({"photos"}, o), ZP_OK) << script_.AllMessages();
    const auto infos = Infos(Archive());
    EXPECT_EQ(infos.at("photos/").externalAttr >> 16 & 0170000, 0040000u);
    EXPECT_EQ(infos.at("photos/").externalAttr & 0x10, 0x10u);
    EXPECT_EQ(infos.at("photos/linkdir").externalAttr >> 16 & 0170000, 0120000u);
    EXPECT_EQ(Read(Archive(), "photos/linkdir"), "2004");
    EXPECT_EQ(Read(Archive(), "photos/link.jpg"), "photos/a.jpg");  // a link to a file is followed
    const auto r = testsupport::Run("cd " + ShellQuote(Path("")) + " && unzip -qq -d x out.zip && readlink x/photos/linkdir");
    EXPECT_EQ(r.output, "2004\n");
}

// Makes `depth` nested folders "d" below folder, with a file at each depth in files; the
// paths are far longer than the kernel takes at once, so each level is made from the last.
void MakeDeepTree(const std::string &folder, int depth, const std::map<int, std::string> &files) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 1; level <= depth; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(fd = next, 0);
        if (const auto it = files.find(level); it != files.end()) {
            const int file = ::openat(fd, "f.txt", O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::write(file, it->second.data(), it->second.size()), static_cast<ssize_t>(it->second.size()));
            ::close(file);
        }
    }
    ::close(fd);
}

std::string DeepName(int depth) {
    std::string name = "deep/";
    for (int i = 0; i < depth; ++i) name += "d/";
    return name + "f.txt";
}

TEST_F(ZipNames, TreesDeeperThanAPathCanReach) {
    std::filesystem::create_directory(Path("deep"));
    MakeDeepTree(Path("deep"), 3000, {{10, "at ten"}, {3000, std::string(100000, 'z')}});
    ZipOptions o = Options();
    o.Recurse = 2;
    o.NoDirEntries = 1;
    o.Verbose = 1;
    EXPECT_EQ(Zip({"deep"}, o), ZP_OK) << script_.AllMessages().substr(0, 3000);
    EXPECT_EQ(Names(), (List{DeepName(3000), DeepName(10)}));
    EXPECT_EQ(Read(Archive(), DeepName(10)), "at ten");
    EXPECT_EQ(Read(Archive(), DeepName(3000)), std::string(100000, 'z'));
    // Messages about such a file are shortened in the middle: both ends stay.
    for (const auto &m : script_.messages) EXPECT_LT(m.size(), 1024u);
    EXPECT_NE(script_.AllMessages().find("d/d/f.txt (deflated 100%)"), std::string::npos);
    testsupport::Run("rm -rf " + ShellQuote(Path("deep")));
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
    EXPECT_EQ(Zip({"photos/a.jpg", "photos/a*.jpg"}, o), ZP_OK);
    EXPECT_EQ(Names(), (List{"a.jpg"}));
}

TEST_F(ZipNames, NamesAreUtf8OrTheirOwnBytes) {
    WriteFile(Path("caf\xC3\xA9.txt"), "utf8");
    WriteFile(Path("caf\xE9.txt"), "latin1");
    WriteFile(Path("plain.txt"), "y");
    ASSERT_EQ(Zip({"*.txt"}, Options()), ZP_OK);
    ExpectValid(Archive());
    // Raw name bytes, UTF-8 flag and the host of "version made by", as stored.
    const auto r = RunPython("import sys, zipfile\n"
                             "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                             "    raw = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
                             "    print(raw.hex(), i.flag_bits & 0x800, i.create_system)\n",
                             ShellQuote(Archive()));
    EXPECT_EQ(r.output, "636166c3a92e747874 2048 3\n636166e92e747874 0 3\n706c61696e2e747874 0 3\n");
    EXPECT_NE(script_.AllMessages().find("caf\\xE9.txt: the name is not UTF-8"), std::string::npos)
        << script_.AllMessages();
    EXPECT_EQ(script_.serviceNames, (List{"caf\xC3\xA9.txt", "caf\\xE9.txt", "plain.txt"}));
    // unzip gives a Unix entry's raw name back byte for byte.
    const auto u = testsupport::Run("cd " + ShellQuote(Path("")) + " && unzip -qq -d x out.zip");
    EXPECT_EQ(u.exitCode, 0) << u.output;
    EXPECT_EQ(testsupport::ReadFile(Path("x/caf\xE9.txt")), "latin1");
    EXPECT_EQ(testsupport::ReadFile(Path("x/caf\xC3\xA9.txt")), "utf8");
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
