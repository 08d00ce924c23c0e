// What the entries hold: data, methods, times, permissions, encryption, comment, line ends,
// messages.
#include "ZipHarness.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <sys/stat.h>

using namespace zipharness;
using testsupport::ReadFile;

using testsupport::ShellQuote;
using testsupport::WriteFile;

namespace {

std::string TextData(std::size_t size) {
    std::string s;
    std::mt19937 rng(7);
    const char *words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon "};
    while (s.size() < size) s += words[rng() % 5];
    s.resize(size);
    return s;
}

std::string RandomData(std::size_t size) {
    std::string s(size, '\0');
    std::mt19937 rng(11);
    for (auto &c : s) c = static_cast<char>(rng());
    return s;
}

class ZipContent : public ZipEngineTest {};

TEST_F(ZipContent, LevelsAndMethods) {
    const std::string text = TextData(200000), noise = RandomData(100000);
    WriteFile(Path("t.txt"), text);
    WriteFile(Path("r.bin"), noise);
    WriteFile(Path("empty"), "");
    for (char level : {'0', '1', '6', '9', '\0', 'x'}) {
        SCOPED_TRACE(std::string("level ") + (level ? level : '_'));
        ZipOptions o = Options();
        o.LevelChar = level;
        ASSERT_EQ(Zip({"*.*"}, o), ZP_OK);
        const auto infos = Infos(Archive());
        EXPECT_EQ(infos.at("t.txt").method, level == '0' ? 0 : 8);
        EXPECT_EQ(infos.at("r.bin").method, 0);  // incompressible: stored
        EXPECT_EQ(infos.at("empty").method, 0);
        EXPECT_EQ(Read(Archive(), "t.txt"), text);
        EXPECT_EQ(Read(Archive(), "r.bin"), noise);
        ExpectValid(Archive());
    }
}

TEST_F(ZipContent, LargeFilesStreamInBlocks) {
    // Beyond the 32 MiB threshold: compressed in blocks, or stored when incompressible.
    const std::string text = TextData(40u << 20) + "tail\r\n";
    WriteFile(Path("big.txt"), text);
    WriteFile(Path("big.bin"), RandomData(33u << 20));
    ZipOptions o = Options();
    ASSERT_EQ(Zip({"big.*"}, o), ZP_OK) << script_.AllMessages();
    ExpectValid(Archive());
    const auto infos = Infos(Archive());
    EXPECT_EQ(infos.at("big.txt").method, 8);
    EXPECT_EQ(infos.at("big.bin").method, 0);
    EXPECT_EQ(Read(Archive(), "big.txt"), text);
    EXPECT_EQ(Read(Archive(), "big.bin"), ReadFile(Path("big.bin")));

    // Streamed with encryption and CR LF conversion too.
    o.Encrypt = 1;
    o.CRLFToLF = 1;
    ASSERT_EQ(Zip({"big.txt"}, o), ZP_OK);
    ExpectValid(Archive(), "secret");
    EXPECT_EQ(Read(Archive(), "big.txt", "secret"), text.substr(0, text.size() - 2) + "\n");
}

TEST_F(ZipContent, TimesAndPermissions) {
    WriteFile(Path("f.txt"), "data");
    ::chmod(Path("f.txt").c_str(), 0640);
    const long long mtime = 1600000001;  // odd second: DOS time rounds it down
    SetMtime(Path("f.txt"), mtime);
    std::filesystem::create_directory(Path("d"));
    SetMtime(Path("d"), mtime);
    ZipOptions o = Options();
    ASSERT_EQ(Zip({"f.txt", "d"}, o), ZP_OK);
    const auto infos = Infos(Archive());
    const EntryInfo &f = infos.at("f.txt");
    EXPECT_EQ(f.utMtime, mtime);
    EXPECT_EQ(f.externalAttr >> 16, 0100640u);
    const time_t even = static_cast<time_t>(mtime - 1);
    char local[32];
    std::strftime(local, sizeof local, "%Y-%m-%d %H:%M:%S", std::localtime(&even));
    EXPECT_EQ(f.dateTime, local);
    EXPECT_EQ(infos.at("d/").utMtime, mtime);
    // unzip restores the exact time from the extra field.
    const auto r = testsupport::Run("cd " + ShellQuote(Path("")) + " && mkdir x && cd x && unzip -qq ../out.zip f.txt");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    struct stat st {};
    ::stat(Path("x/f.txt").c_str(), &st);
    EXPECT_EQ(st.st_mtime, mtime);
}

// Times the DOS fields cannot hold are clamped there; the extended timestamp (signed 32-bit)
// keeps the exact time where it can, and a time neither holds is told.
struct TimeCase {
    long long mtime;
    const char *dos;      // the DOS fields, local time; null: the local time of mtime
    long long extended;   // -1: no extended timestamp
    bool told;
};

void PrintTo(const TimeCase &c, std::ostream *os) { *os << c.mtime; }

class ZipTimes : public ZipContent, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(ZipTimes, ClampedWhereTheFieldsEnd) {
    const TimeCase &c = GetParam();
    WriteFile(Path("f.txt"), "data");
    SetMtime(Path("f.txt"), c.mtime);
    for (bool encrypt : {false, true}) {  // the check byte of ZipCrypto comes from the DOS time
        ZipOptions o = Options();
        o.Encrypt = encrypt;
        script_.messages.clear();
        ASSERT_EQ(Zip({"f.txt"}, o), ZP_OK) << script_.AllMessages();
        const EntryInfo info = Infos(Archive()).at("f.txt");
        char local[32];
        const time_t t = static_cast<time_t>(c.mtime);
        std::strftime(local, sizeof local, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
        EXPECT_EQ(info.dateTime, c.dos ? c.dos : local);
        EXPECT_EQ(info.utMtime, c.extended);
        EXPECT_EQ(script_.AllMessages().find("f.txt: modification time") != std::string::npos, c.told)
            << script_.AllMessages();
        EXPECT_EQ(Read(Archive(), "f.txt", encrypt ? "secret" : ""), "data");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ZipTimes, ::testing::Values(
    TimeCase{-15000000, "1980-01-01 00:00:00", -15000000, true},           // 1969
    TimeCase{2524608000LL, nullptr, -1, false},                            // 2050
    TimeCase{7258118400LL, "2107-12-31 23:59:58", -1, true}));             // 2200

TEST_F(ZipContent, EncryptionReadableOnlyWithThePassword) {
    const std::string text = TextData(50000);
    WriteFile(Path("t.txt"), text);
    WriteFile(Path("r.bin"), RandomData(3000));
    WriteFile(Path("e.txt"), "");
    for (char level : {'0', '6'}) {
        ZipOptions o = Options();
        o.LevelChar = level;
        o.Encrypt = 1;
        o.NoDirEntries = 0;
        script_.passwordCalls = 0;
        ASSERT_EQ(Zip({"*.*"}, o), ZP_OK) << script_.AllMessages();
        EXPECT_EQ(script_.passwordCalls, 1);
        EXPECT_EQ(script_.passwordBufferSize, ZP_PASSWORD_BUFFER);
        EXPECT_TRUE(script_.passwordBufferZeroed);
        ExpectValid(Archive(), "secret");
        EXPECT_EQ(Read(Archive(), "t.txt", "secret"), text);
        for (const auto &[name, info] : Infos(Archive())) EXPECT_TRUE(info.flags & 1) << name;
        EXPECT_NE(testsupport::Run("unzip -tqq -P wrong " + ShellQuote(Archive())).exitCode, 0);
        EXPECT_NE(testsupport::Run("7zz t -pwrong " + ShellQuote(Archive())).exitCode, 0);
    }
}

TEST_F(ZipContent, LongestPasswordIsCutBeforeTheLastByte) {
    WriteFile(Path("t.txt"), "secret data");
    script_.password = std::string(300, 'p');  // fills the whole buffer, no NUL
    ZipOptions o = Options();
    o.Encrypt = 1;
    ASSERT_EQ(Zip({"t.txt"}, o), ZP_OK);
    EXPECT_EQ(Read(Archive(), "t.txt", std::string(255, 'p')), "secret data");
}

TEST_F(ZipContent, CommentAndLineEnds) {
    WriteFile(Path("dos.txt"), "one\r\ntwo\r\nlone\rcr\r\n");
    WriteFile(Path("unix.txt"), "one\ntwo\r\nthree\n");
    WriteFile(Path("bin.dat"), std::string("a\r\nb\0c\n", 7));
    ZipOptions o = Options();
    o.Comment = 1;
    o.CRLFToLF = 1;
    ASSERT_EQ(Zip({"*.*"}, o), ZP_OK);
    EXPECT_EQ(Read(Archive(), "dos.txt"), "one\ntwo\nlone\rcr\n");
    EXPECT_EQ(Read(Archive(), "bin.dat"), std::string("a\r\nb\0c\n", 7));
    const auto r = RunPython(
        "import sys, zipfile\nsys.stdout.write(zipfile.ZipFile(sys.argv[1]).comment.decode())\n",
        ShellQuote(Archive()));
    EXPECT_EQ(r.output, "a comment");
    o.Comment = 0;
    o.CRLFToLF = 0;
    o.LFToCRLF = 1;
    ASSERT_EQ(Zip({"unix.txt", "bin.dat"}, o), ZP_OK);
    EXPECT_EQ(Read(Archive(), "unix.txt"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(Read(Archive(), "bin.dat"), std::string("a\r\nb\0c\n", 7));
}

TEST_F(ZipContent, ProgressLinesDuringALargeEntry) {
    // The window repaints on each message: a long entry must send some on its way, also
    // without verbose messages, and always from the calling thread.
    WriteFile(Path("big.txt"), TextData(100u << 20));
    ZipOptions o = Options();
    o.LevelChar = '1';
    ASSERT_EQ(Zip({"big.txt"}, o), ZP_OK) << script_.AllMessages();
    std::vector<int> seen;
    for (const auto &m : script_.messages)
        if (m.rfind("  adding: big.txt ", 0) == 0 && m.back() == '%')
            seen.push_back(std::stoi(m.substr(m.rfind(' ') + 1)));
    EXPECT_GE(seen.size(), 9u) << script_.AllMessages();  // each tenth at least
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << script_.AllMessages();
    EXPECT_EQ(script_.messages.back().rfind("total: 1 added", 0), 0u);
    EXPECT_FALSE(script_.foreignThread);

    script_.messages.clear();
    o.Quiet = 1;
    ASSERT_EQ(Zip({"big.txt"}, o), ZP_OK);
    EXPECT_TRUE(script_.messages.empty()) << script_.AllMessages();
}

TEST_F(ZipContent, MessagesFollowTheLevel) {
    WriteFile(Path("a/t.txt"), TextData(10000));
    ZipOptions o = Options();
    o.Verbose = 1;
    ASSERT_EQ(Zip({"a/t.txt"}, o), ZP_OK);
    ASSERT_EQ(script_.messages.size(), 2u) << script_.AllMessages();
    EXPECT_EQ(script_.messages[0].rfind("  adding: a/t.txt (deflated ", 0), 0u) << script_.messages[0];
    EXPECT_EQ(script_.messages[1].rfind("total: 1 added, 0 updated, 10000 bytes in", 0), 0u);
    EXPECT_EQ(script_.serviceNames, std::vector<std::string>{"a/t.txt"});

    script_.messages.clear();
    o.Verbose = 0;
    ASSERT_EQ(Zip({"a/t.txt"}, o), ZP_OK);
    EXPECT_EQ(script_.messages.size(), 1u) << script_.AllMessages();

    // Quiet: a named file that is missing is still told, and fails the result.
    script_.messages.clear();
    o.Quiet = 1;
    ASSERT_EQ(Zip({"a/t.txt", "nothing.here"}, o), ZP_ERR_READ);
    EXPECT_EQ(script_.AllMessages(), "zip warning: name not matched: nothing.here: No such file or directory\n");
    // Errors still come, and no message reaches 1024 bytes.
    const std::string deep = std::string(250, 'n') + "/" + std::string(250, 'm');
    WriteFile(Path("a/" + deep + "/x"), "x");
    WriteFile(Path("b/" + deep + "/x"), "y");
    o.JunkDirNames = 1;
    EXPECT_EQ(Zip({"a/" + deep + "/x", "b/" + deep + "/x"}, o), ZP_ERR_DUPLICATE);
    ASSERT_FALSE(script_.messages.empty());
    for (const auto &m : script_.messages) EXPECT_LT(m.size(), 1024u);
}

}  // namespace
