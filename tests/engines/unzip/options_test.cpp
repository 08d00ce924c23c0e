// Extraction options: selection, naming, line ends, testing, messages, replacing files,
// stopping (one table); restored attributes and large entries.
#include "UnzipHarness.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace unziptest;
using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// The archives the table extracts, made once. "sample" is dated 2020-05-17.
const std::map<std::string, std::string> kArchives = {
    {"sample", R"(zipcraft.make(PATH, [{'name': 'docs/'}, {'name': 'docs/a.txt', 'data': 'alpha'},
        {'name': 'docs/B.TXT', 'data': 'bravo'}, {'name': 'src/main.c', 'data': 'int main;'},
        {'name': 'readme.md', 'data': 'read me'}]))"},
    {"spaces", R"(zipcraft.make(PATH, [{'name': 'my docs/'}, {'name': 'my docs/a b.txt', 'data': 'ab'},
        {'name': 'deep/er/c.txt', 'data': 'c'}]))"},
    {"lines", R"(zipcraft.make(PATH, [{'name': 'dos.txt', 'data': 'one\r\ntwo\r\nlone\rcr\r\n'},
        {'name': 'bin.dat', 'data': b'\x00\x01\r\n\x02'}]))"},
    {"badcrc", R"(zipcraft.raw(PATH, [{'name': b'good.txt', 'data': b'fine'},
        {'name': b'bad.txt', 'data': b'damaged', 'crc': 1234}]))"},
};

time_t Local(int y, int mo, int d, int h, int mi, int s) {
    std::tm when{};
    when.tm_year = y - 1900, when.tm_mon = mo - 1, when.tm_mday = d;
    when.tm_hour = h, when.tm_min = mi, when.tm_sec = s, when.tm_isdst = -1;
    return mktime(&when);
}

struct File {
    std::string path, content;
    time_t mtime = 0;  // 0: now
};

const std::vector<File> kAllOld = {
    {"docs/a.txt", "old"}, {"docs/B.TXT", "old"}, {"src/main.c", "old"}, {"readme.md", "old"}};
const char *kSampleTree = "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> alpha\nreadme.md -> read me\n"
                          "src/\nsrc/main.c -> int main;\n";

struct Row {
    const char *name, *archive;
    std::function<void(Harness &)> set;
    std::vector<File> existing;  // in the destination before the run
    int32_t result;
    std::string tree;      // the destination afterwards ("" when it does not exist)
    const char *messages;  // every message but the progress lines, one a line
    const char *asked = "";  // the names the replace callback was asked about
};

std::string Lines(const std::vector<std::string> &lines) {
    std::string text;
    for (const auto &l : lines) text += l + "\n";
    return text;
}

class Extraction : public ::testing::TestWithParam<Row> {
public:
    static void SetUpTestSuite() {
        archives_ = new TempDir;
        for (const auto &[name, script] : kArchives) {
            std::string body = script;
            body.replace(body.find("PATH"), 4, ShellQuote(*archives_ / (name + ".zip")));
            ASSERT_EQ(Craft(body).exitCode, 0) << name;
        }
    }
    static void TearDownTestSuite() { delete archives_; }
    static TempDir *archives_;
};
TempDir *Extraction::archives_ = nullptr;

TEST_P(Extraction, GivesTreeResultAndMessages) {
    const Row &row = GetParam();
    TempDir tmp;
    const std::string out = tmp / "out";
    for (const File &f : row.existing) {
        testsupport::WriteFile(out + "/" + f.path, f.content);
        struct utimbuf when {f.mtime, f.mtime};
        if (f.mtime) {
            EXPECT_EQ(utime((out + "/" + f.path).c_str(), &when), 0);
        }
    }
    Harness h;
    h.options.MessageLevel = 1;
    if (row.set) row.set(h);
    EXPECT_EQ(h.Extract(*archives_ / (std::string(row.archive) + ".zip"), out), row.result)
        << h.AllMessages();
    EXPECT_EQ(fs::exists(out) ? DescribeTree(out) : "", row.tree);
    EXPECT_EQ(Lines(h.MessagesWithoutProgress()), row.messages);
    EXPECT_EQ(Lines(h.replaceAsked), row.asked);
}

const Row kRows[] = {
    {"IncludeWildcard", "sample", [](Harness &h) { h.include = {"docs/*.txt"}; }, {}, UZ_OK,
     "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> alpha\n", "Done: 2 extracted, 0 skipped, 0 failed\n"},
    // "README.md" matches nothing when case counts; the others still extract.
    {"CaseSensitiveIncludes", "sample", [](Harness &h) {
         h.options.CaseSensitiveFileNames = 1;
         h.include = {"docs/*.txt", "README.md", "src/main.?"};
     }, {}, UZ_ERR_NOMATCH, "docs/\ndocs/a.txt -> alpha\nsrc/\nsrc/main.c -> int main;\n",
     "error: no entry matches README.md\nDone: 2 extracted, 0 skipped, 0 failed\n"},
    {"Exclude", "sample", [](Harness &h) { h.exclude = {"*.c", "docs/*"}; }, {}, UZ_OK,
     "readme.md -> read me\n", "Done: 1 extracted, 0 skipped, 0 failed\n"},
    {"NothingMatches", "sample", [](Harness &h) { h.options.MessageLevel = 2; h.include = {"nothing*"}; },
     {}, UZ_ERR_NOMATCH, "", "error: no entry matches nothing*\n"},
    {"FolderNamesDropped", "spaces", [](Harness &h) { h.options.UseFolderNames = 0; }, {}, UZ_OK,
     "a b.txt -> ab\nc.txt -> c\n", "Done: 2 extracted, 0 skipped, 0 failed\n"},
    {"SpacesToUnderscores", "spaces", [](Harness &h) { h.options.SpaceToUnderScore = 1; h.options.MessageLevel = 0; },
     {}, UZ_OK, "deep/\ndeep/er/\ndeep/er/c.txt -> c\nmy_docs/\nmy_docs/a_b.txt -> ab\n",
     "   creating: my_docs/\n  inflating: my_docs/a_b.txt\n  inflating: deep/er/c.txt\n"
     "Done: 3 extracted, 0 skipped, 0 failed\n"},
    // Only CR LF pairs of text entries change; a lone CR and binary entries stay.
    {"LineEndsConverted", "lines", [](Harness &h) { h.options.ConvertCRToCRLF = 1; }, {}, UZ_OK,
     "bin.dat -> \x00\x01\r\n\x02\ndos.txt -> one\ntwo\nlone\rcr\n\n"s, "Done: 2 extracted, 0 skipped, 0 failed\n"},
    {"LineEndsKept", "lines", nullptr, {}, UZ_OK,
     "bin.dat -> \x00\x01\r\n\x02\ndos.txt -> one\r\ntwo\r\nlone\rcr\r\n\n"s, "Done: 2 extracted, 0 skipped, 0 failed\n"},
    {"TestWritesNothing", "sample", [](Harness &h) { h.options.TestZip = 1; h.options.MessageLevel = 0; },
     {}, UZ_OK, "", "    testing: docs/a.txt  OK\n    testing: docs/B.TXT  OK\n    testing: src/main.c  OK\n"
     "    testing: readme.md  OK\nDone: 5 tested OK, 0 skipped, 0 failed\n"},
    {"TestFindsBadCrc", "badcrc", [](Harness &h) { h.options.TestZip = 1; }, {}, UZ_ERR_BADZIP, "",
     "error: bad.txt: CRC mismatch\nDone: 1 tested OK, 0 skipped, 1 failed (bad.txt: CRC mismatch)\n"},
    {"EveryMessage", "sample", [](Harness &h) { h.options.MessageLevel = 0; }, {}, UZ_OK, kSampleTree,
     "   creating: docs/\n  inflating: docs/a.txt\n  inflating: docs/B.TXT\n  inflating: src/main.c\n"
     "  inflating: readme.md\nDone: 5 extracted, 0 skipped, 0 failed\n"},
    {"KeepsExistingWithoutAsking", "sample", [](Harness &h) { h.options.MessageLevel = 0; },
     {{"readme.md", "mine"}}, UZ_OK,
     "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> alpha\nreadme.md -> mine\nsrc/\nsrc/main.c -> int main;\n",
     "   creating: docs/\n  inflating: docs/a.txt\n  inflating: docs/B.TXT\n  inflating: src/main.c\n"
     "   skipping: readme.md (already exists)\nDone: 4 extracted, 1 skipped, 0 failed\n"},
    {"OverwritesWithoutAsking", "sample", [](Harness &h) {
         h.options.OverwriteExisting = 1;
         h.options.PromptToOverwrite = 1;
     }, kAllOld, UZ_OK, kSampleTree, "Done: 5 extracted, 0 skipped, 0 failed\n"},
    {"AnswersNoYesAll", "sample", [](Harness &h) {
         h.options.PromptToOverwrite = 1;
         h.replies = {UZ_REPLACE_NO, UZ_REPLACE_YES, UZ_REPLACE_ALL};
     }, kAllOld, UZ_OK,
     "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> old\nreadme.md -> read me\nsrc/\nsrc/main.c -> int main;\n",
     "Done: 4 extracted, 1 skipped, 0 failed\n", "docs/a.txt\ndocs/B.TXT\nsrc/main.c\n"},
    {"AnswersYesNone", "sample", [](Harness &h) {
         h.options.PromptToOverwrite = 1;
         h.replies = {UZ_REPLACE_YES, UZ_REPLACE_NONE};
     }, kAllOld, UZ_OK,
     "docs/\ndocs/B.TXT -> old\ndocs/a.txt -> alpha\nreadme.md -> old\nsrc/\nsrc/main.c -> old\n",
     "Done: 2 extracted, 3 skipped, 0 failed\n", "docs/a.txt\ndocs/B.TXT\n"},
    // Older files (2001) are replaced, newer ones kept, missing ones made. A file as old as
    // the entry, to the DOS time's two seconds, is kept too.
    {"OnlyNewer", "sample", [](Harness &h) { h.options.ExtractOnlyNewer = 1; h.options.MessageLevel = 0; },
     {{"docs/a.txt", "newer file"}, {"docs/B.TXT", "older file", 1000000000},
      {"src/main.c", "as old", Local(2020, 5, 17, 10, 30, 41)}}, UZ_OK,
     "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> newer file\nreadme.md -> read me\nsrc/\nsrc/main.c -> as old\n",
     "   creating: docs/\n   skipping: docs/a.txt (not newer)\n  inflating: docs/B.TXT\n"
     "   skipping: src/main.c (not newer)\n  inflating: readme.md\nDone: 3 extracted, 2 skipped, 0 failed\n"},
    {"StopsAfterTheCurrentEntry", "sample", [](Harness &h) { h.stopAt = "docs/B.TXT"; }, {}, UZ_ERR_ABORT,
     "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> alpha\n",
     "Stopped at the caller's request.\nDone: 3 extracted, 0 skipped, 0 failed\n"},
};

INSTANTIATE_TEST_SUITE_P(Options, Extraction, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace

TEST(Attributes, TimesAndPermissionBits) {
    TempDir tmp;
    const std::string zip = tmp / "m.zip";
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) + R"(, [
        {'name': 'ro/', 'mode': 0o40555, 'date': (2019, 1, 2, 3, 4, 6)},
        {'name': 'ro/run.sh', 'data': '#!/bin/sh', 'mode': 0o104755},
        {'name': 'private.txt', 'data': 'p', 'mode': 0o100600},
        {'name': 'sticky.txt', 'data': 's', 'mode': 0o101644},
    ]))").exitCode, 0);
    Harness h;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    // No setuid or sticky bit; the folder's bits and time are set after its files.
    for (auto [name, mode, mtime] : {std::tuple{"ro/run.sh", 0755u, Local(2020, 5, 17, 10, 30, 42)},
                                     {"private.txt", 0600u, Local(2020, 5, 17, 10, 30, 42)},
                                     {"sticky.txt", 0644u, Local(2020, 5, 17, 10, 30, 42)},
                                     {"ro", 0555u, Local(2019, 1, 2, 3, 4, 6)}}) {
        struct stat st {};
        ASSERT_EQ(stat((tmp / "out/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
        EXPECT_EQ(st.st_mtime, mtime) << name;
    }
}

TEST(LineEnds, StreamedEntryConvertsAcrossChunks) {
    // Bigger than what is inflated in memory, so it is streamed in 1 MiB pieces; 5-byte
    // lines put a CR at the end of some pieces and its LF at the start of the next.
    TempDir tmp;
    const std::string zip = tmp / "big.zip";
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) +
                    ", [{'name': 'big.txt', 'data': b'abc\\r\\n' * (14 * 1024 * 1024)}])").exitCode, 0);
    Harness h;
    h.options.ConvertCRToCRLF = 1;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    const std::string out = ReadFile(tmp / "out/big.txt");
    ASSERT_EQ(out.size(), 4u * 14 * 1024 * 1024);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.substr(0, 8), "abc\nabc\n");
}

TEST(Messages, ProgressLinesDuringALargeEntry) {
    // The window repaints on each message: a long entry must send some on its way, also at
    // the summary level, and always from the calling thread.
    TempDir tmp;
    const std::string zip = tmp / "big.zip";
    ASSERT_EQ(testsupport::RunPython(R"(
import random, sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    z.writestr('big.bin', random.Random(3).randbytes(100 * 1024 * 1024))
)", ShellQuote(zip)).exitCode, 0);
    Harness h;
    h.options.MessageLevel = 1;
    ASSERT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    std::vector<int> seen;
    for (const auto &m : h.messages)
        if (m.rfind("  inflating: big.bin ", 0) == 0 && IsProgressLine(m))
            seen.push_back(std::stoi(m.substr(m.rfind(' ') + 1)));
    EXPECT_GE(seen.size(), 9u) << h.AllMessages();  // each tenth at least
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << h.AllMessages();
    EXPECT_EQ(h.MessagesWithoutProgress(), (std::vector<std::string>{"Done: 1 extracted, 0 skipped, 0 failed"}));
    EXPECT_FALSE(h.foreignThread);

    Harness quiet;
    quiet.options.MessageLevel = 2;
    quiet.options.OverwriteExisting = 1;
    ASSERT_EQ(quiet.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_TRUE(quiet.messages.empty()) << quiet.AllMessages();
}
