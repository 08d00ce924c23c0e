// Every failure leaves the previous archive byte-identical and no temporary file behind.
#include "Mount.h"
#include "ZipHarness.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace zipharness;
using testsupport::ReadFile;
using testsupport::WriteFile;
using List = std::vector<std::string>;
using testsupport::Mount;

namespace {

class ZipFailures : public ZipEngineTest {
protected:
    // arch/out.zip holding old.txt, and the files a run would add.
    void SetUp() override {
        ZipEngineTest::SetUp();
        std::filesystem::create_directories(Path("arch"));
        WriteFile(Path("old.txt"), "old");
        WriteFile(Path("new.txt"), std::string(100000, 'n'));
        ASSERT_EQ(Zip(archive_, {"old.txt"}, Options()), ZP_OK);
        before_ = ReadFile(archive_);
    }
    void ExpectUnchanged() {
        EXPECT_EQ(ReadFile(archive_), before_);
        EXPECT_EQ(NamesIn(Path("arch")), (List{"out.zip"}));
    }
    ZipOptions Appending() {
        ZipOptions o = Options();
        o.Append = 1;
        return o;
    }
    const std::string archive_ = Path("arch/out.zip");
    std::string before_;
};

TEST_F(ZipFailures, UnreadableFile) {
    // Also under a path too long for one message: the message keeps the cause.
    const std::string deep = std::string(200, 'a') + "/" + std::string(200, 'b') + "/" +
                             std::string(200, 'c') + "/" + std::string(200, 'd') + "/" +
                             std::string(200, 'e') + "/pipe.txt";
    std::filesystem::create_directories(Path(deep).substr(0, Path(deep).rfind('/')));
    for (const std::string &pipe : {std::string("pipe.txt"), deep}) {
        ASSERT_EQ(::mkfifo(Path(pipe).c_str(), 0644), 0);
        for (const ZipOptions &o : {Options(), Appending()}) {
            script_.messages.clear();
            EXPECT_EQ(Zip(archive_, {"new.txt", pipe}, o), ZP_ERR_READ);
            ExpectUnchanged();
            ASSERT_EQ(script_.messages.size(), 1u) << script_.AllMessages();
            EXPECT_LT(script_.messages[0].size(), 1024u);
            EXPECT_EQ(script_.messages[0].rfind("zip error: cannot read ", 0), 0u);
            EXPECT_NE(script_.messages[0].find("pipe.txt: not a regular file"), std::string::npos);
        }
    }
}

TEST_F(ZipFailures, AbortFromTheServiceCallback) {
    WriteFile(Path("z.txt"), "z");
    script_.stopAt = "z.txt";
    for (const ZipOptions &o : {Options(), Appending()}) {
        script_.serviceNames.clear();
        EXPECT_EQ(Zip(archive_, {"new.txt", "z.txt"}, o), ZP_ERR_ABORT);
        EXPECT_EQ(script_.serviceNames, (List{"new.txt", "z.txt"}));
        ExpectUnchanged();
    }
}

TEST_F(ZipFailures, RefusedPasswordOrComment) {
    ZipOptions o = Appending();
    o.Encrypt = 1;
    script_.refusePassword = true;
    EXPECT_EQ(Zip(archive_, {"new.txt"}, o), ZP_ERR_PASSWORD);
    ExpectUnchanged();
    script_.refusePassword = false;
    script_.password = "";
    EXPECT_EQ(Zip(archive_, {"new.txt"}, o), ZP_ERR_PASSWORD);
    ExpectUnchanged();
    o = Options();
    o.Comment = 1;
    script_.refuseComment = true;
    EXPECT_EQ(Zip(archive_, {"new.txt"}, o), ZP_ERR_COMMENT);
    ExpectUnchanged();
}

TEST_F(ZipFailures, FullDisk) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const std::string small = Path("small");
    std::filesystem::create_directory(small);
    Mount mount(small, 64 * 1024);
    if (!mount.ok()) GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string archive = small + "/out.zip";
    ASSERT_EQ(Zip(archive, {"old.txt"}, Options()), ZP_OK);
    const std::string before = ReadFile(archive);
    WriteFile(Path("noise.bin"), std::string(200000, '\0') + ReadFile("/proc/self/exe").substr(0, 200000));
    ZipOptions o = Options();
    o.LevelChar = '0';
    for (const ZipOptions &mode : {o, Appending()}) {
        ZipOptions m = mode;
        m.LevelChar = '0';
        EXPECT_EQ(Zip(archive, {"noise.bin"}, m), ZP_ERR_WRITE);
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_EQ(NamesIn(small), (List{"out.zip"}));
    }
}

TEST_F(ZipFailures, ReadOnlyFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a read-only bind mount";
    Mount mount(Path("arch"));
    if (!mount.ok()) GTEST_SKIP() << "cannot bind-mount read-only here";
    for (const ZipOptions &o : {Options(), Appending()}) {
        EXPECT_EQ(Zip(archive_, {"new.txt"}, o), ZP_ERR_WRITE);
        ExpectUnchanged();
    }
    ZipOptions del = Options();
    del.DeleteEntries = 1;
    EXPECT_EQ(Zip(archive_, {"old.txt"}, del), ZP_ERR_WRITE);
    ExpectUnchanged();
}

TEST_F(ZipFailures, ExistingFileIsReplacedOnlyOnSuccess) {
    // Not a zip archive: a new run replaces it, an appending one refuses it.
    WriteFile(archive_, "not a zip");
    EXPECT_EQ(Zip(archive_, {"new.txt"}, Appending()), ZP_ERR_ARCHIVE);
    EXPECT_EQ(ReadFile(archive_), "not a zip");
    ASSERT_EQ(Zip(archive_, {"new.txt"}, Options()), ZP_OK);
    EXPECT_EQ(Names(archive_), (List{"new.txt"}));
    ZipOptions del = Options();
    del.DeleteEntries = 1;
    EXPECT_EQ(Zip(Path("arch/missing.zip"), {"*"}, del), ZP_ERR_ARCHIVE);
}

TEST_F(ZipFailures, ArchiveModeIsKeptOrFollowsTheUmask) {
    auto mode = [](const std::string &path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return st.st_mode & 07777;
    };
    const mode_t old = ::umask(022);
    const std::string fresh = Path("arch/fresh.zip");
    EXPECT_EQ(Zip(fresh, {"new.txt"}, Options()), ZP_OK);
    EXPECT_EQ(mode(fresh), 0644u);
    ::chmod(archive_.c_str(), 0640);
    EXPECT_EQ(Zip(archive_, {"new.txt"}, Appending()), ZP_OK);
    EXPECT_EQ(mode(archive_), 0640u);
    ZipOptions del = Options();
    del.DeleteEntries = 1;  // every entry: the empty archive is written apart from libzip
    EXPECT_EQ(Zip(archive_, {"*"}, del), ZP_OK);
    EXPECT_EQ(mode(archive_), 0640u);
    EXPECT_EQ(Names(archive_), List{});
    ::umask(old);
}

TEST_F(ZipFailures, OptionsAndArguments) {
    ZipOptions o = Options();
    o.Verbose = 1;
    ZpSetOptions(&o);
    ZipOptions back{};
    ZpGetOptions(&back);
    EXPECT_STREQ(back.RootDir, rootDir_.c_str());
    EXPECT_NE(back.RootDir, rootDir_.c_str());  // a copy of its own
    EXPECT_EQ(back.Verbose, 1);
    const char *table[TESK_NAMELIST_SLOTS] = {"old.txt", ""};
    EXPECT_EQ(ZpArchive(1, nullptr, table), ZP_ERR_PARAM);
    EXPECT_EQ(ZpArchive(0, archive_.c_str(), table + 1), ZP_ERR_NOMATCH);
    ExpectUnchanged();
}

// Three files big enough to be compressed in blocks hold the scheduler's whole memory
// budget, so the small file after them is not read before zip_close reaches it.
class SourceChanges : public ZipFailures {
protected:
    void SetUp() override {
        ZipFailures::SetUp();
        for (const char *name : {"big1.bin", "big2.bin", "big3.bin"}) {
            WriteFile(Path(name), "");
            std::filesystem::resize_file(Path(name), 33u << 20);  // sparse: costs no disk
        }
        WriteFile(Path("z.txt"), "last");
    }
    const List specs_{"big1.bin", "big2.bin", "big3.bin", "z.txt"};
};

TEST_F(SourceChanges, FileGoneOrReplacedBeforeItIsReadFailsTheRun) {
    const std::vector<std::pair<std::string, std::function<void()>>> changes = {
        {"deleted", [&] { std::filesystem::remove(Path("z.txt")); }},
        {"replaced by a pipe", [&] { ASSERT_EQ(::mkfifo(Path("z.txt").c_str(), 0644), 0); }},
        {"replaced by a folder", [&] { std::filesystem::create_directory(Path("z.txt")); }},
    };
    for (const auto &[what, change] : changes) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(Path("z.txt"));
        WriteFile(Path("z.txt"), "last");
        script_.onService = [&](const std::string &name) {
            if (name == "big1.bin") {
                std::filesystem::remove(Path("z.txt"));
                if (what != "deleted") change();
            }
        };
        for (const ZipOptions &o : {Options(), Appending()}) {
            script_.messages.clear();
            EXPECT_EQ(Zip(archive_, specs_, o), ZP_ERR_READ);
            ExpectUnchanged();
            EXPECT_NE(script_.AllMessages().find("z.txt"), std::string::npos) << script_.AllMessages();
            std::filesystem::remove_all(Path("z.txt"));
            WriteFile(Path("z.txt"), "last");
        }
    }
}

// big2.bin changes when its own entry is about to be read: by then its file is open and its
// first blocks are read, while the later ones wait for the reader.
struct ChangeCase {
    const char *what;
    std::function<void(const std::string &path)> change;
};

void PrintTo(const ChangeCase &c, std::ostream *os) { *os << c.what; }

class ChangeWhileRead : public SourceChanges, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeWhileRead, IsNamedAndTheRestIsArchived) {
    script_.onService = [&](const std::string &name) {
        if (name == "big2.bin") GetParam().change(Path("big2.bin"));
    };
    EXPECT_EQ(Zip(archive_, specs_, Options()), ZP_ERR_READ);
    ExpectValid(archive_);
    EXPECT_EQ(Names(archive_), specs_);
    EXPECT_EQ(Read(archive_, "z.txt"), "last");
    EXPECT_NE(script_.AllMessages().find("big2.bin changed while it was read"), std::string::npos)
        << script_.AllMessages();
    EXPECT_NE(script_.messages.back().find("1 not archived as found (big2.bin changed"), std::string::npos)
        << script_.messages.back();
}

INSTANTIATE_TEST_SUITE_P(Rows, ChangeWhileRead, ::testing::Values(
    ChangeCase{"grows", [](const std::string &p) { std::ofstream(p, std::ios::app) << "more"; }},
    ChangeCase{"shrinks", [](const std::string &p) { std::filesystem::resize_file(p, 5u << 20); }},
    ChangeCase{"same size, new time", [](const std::string &p) { SetMtime(p, 1234567890); }}));

TEST_F(ZipFailures, KilledWhileWritingLeavesThePreviousArchive) {
    // The child is killed inside zip_close, with part of the new archive written. The
    // archive is untouched, nothing of the run is left beside it, and the next run works.
    for (int i = 0; i < 4; ++i) {
        std::string bytes(4u << 20, '\0');
        for (std::size_t k = 0; k < bytes.size(); k += 4096) bytes[k] = static_cast<char>(k * 31 + i);
        WriteFile(Path("part" + std::to_string(i) + ".bin"), bytes);
    }
    ASSERT_TRUE(testsupport::RunAndKillAtLine({ENGINE_CHILD, "zip", archive_, rootDir_, "part2.bin",
                                               "part0.bin", "part1.bin", "part2.bin", "part3.bin"},
                                              "paused"));
    EXPECT_EQ(ReadFile(archive_), before_);
    EXPECT_EQ(NamesIn(Path("arch")), List{"out.zip"});
    ZipOptions o = Appending();
    ASSERT_EQ(Zip(archive_, {"new.txt"}, o), ZP_OK);
    EXPECT_EQ(Names(archive_), (List{"old.txt", "new.txt"}));
    ExpectValid(archive_);
}

}  // namespace
