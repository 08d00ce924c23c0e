// Extraction options: selection, naming, line ends, testing, messages, replacing files,
// restored attributes, stopping.
#include "UnzipHarness.h"

#include <algorithm>

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace unziptest;
using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

// docs/a.txt, docs/B.TXT, src/main.c, readme.md, and the folder entries.
std::string MakeSample(const TempDir &tmp) {
    const std::string zip = tmp / "sample.zip";
    const auto result = Craft("zipcraft.make(" + ShellQuote(zip) + R"(, [
        {'name': 'docs/'},
        {'name': 'docs/a.txt', 'data': 'alpha'},
        {'name': 'docs/B.TXT', 'data': 'bravo'},
        {'name': 'src/main.c', 'data': 'int main;'},
        {'name': 'readme.md', 'data': 'read me'},
    ]))");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return zip;
}

std::string Tree(const std::string &root) { return fs::exists(root) ? DescribeTree(root) : ""; }

}  // namespace

TEST(Selection, IncludeExcludeWildcardsAndCase) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    {
        Harness h;
        h.include = {"docs/*.txt"};
        EXPECT_EQ(h.Extract(zip, tmp / "1"), UZ_OK) << h.AllMessages();
        EXPECT_EQ(Tree(tmp / "1"), "docs/\ndocs/B.TXT -> bravo\ndocs/a.txt -> alpha\n");
    }
    {
        Harness h;
        h.options.CaseSensitiveFileNames = 1;
        h.include = {"docs/*.txt", "README.md", "src/main.?"};
        // "README.md" matches nothing when case counts; the others still extract.
        EXPECT_EQ(h.Extract(zip, tmp / "2"), UZ_ERR_NOMATCH);
        EXPECT_EQ(Tree(tmp / "2"), "docs/\ndocs/a.txt -> alpha\nsrc/\nsrc/main.c -> int main;\n");
        EXPECT_TRUE(h.HasMessage("error: no entry matches README.md")) << h.AllMessages();
    }
    {
        Harness h;
        h.exclude = {"*.c", "docs/*"};
        EXPECT_EQ(h.Extract(zip, tmp / "3"), UZ_OK);
        EXPECT_EQ(Tree(tmp / "3"), "readme.md -> read me\n");
    }
    {
        Harness h;
        h.include = {"nothing*"};
        EXPECT_EQ(h.Extract(zip, tmp / "4"), UZ_ERR_NOMATCH);
        EXPECT_EQ(Tree(tmp / "4"), "");
    }
}

TEST(Naming, DropFolderNamesAndSpaces) {
    TempDir tmp;
    const std::string zip = tmp / "n.zip";
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) + R"(, [
        {'name': 'my docs/'},
        {'name': 'my docs/a b.txt', 'data': 'ab'},
        {'name': 'deep/er/c.txt', 'data': 'c'},
    ]))").exitCode, 0);
    Harness flat;
    flat.options.UseFolderNames = 0;
    EXPECT_EQ(flat.Extract(zip, tmp / "flat"), UZ_OK) << flat.AllMessages();
    EXPECT_EQ(Tree(tmp / "flat"), "a b.txt -> ab\nc.txt -> c\n");

    Harness under;
    under.options.SpaceToUnderScore = 1;
    under.options.MessageLevel = 0;
    EXPECT_EQ(under.Extract(zip, tmp / "under"), UZ_OK);
    EXPECT_EQ(Tree(tmp / "under"),
              "deep/\ndeep/er/\ndeep/er/c.txt -> c\nmy_docs/\nmy_docs/a_b.txt -> ab\n");
    EXPECT_TRUE(under.HasMessage("  inflating: my_docs/a_b.txt")) << under.AllMessages();
}

TEST(LineEnds, TextEntriesGetLinuxLineEnds) {
    TempDir tmp;
    const std::string zip = tmp / "t.zip";
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) + R"(, [
        {'name': 'dos.txt', 'data': 'one\r\ntwo\r\nlone\rcr\r\n'},
        {'name': 'bin.dat', 'data': b'\x00\x01\r\n\x02'},
    ]))").exitCode, 0);
    Harness h;
    h.options.ConvertCRToCRLF = 1;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_EQ(ReadFile(tmp / "out/dos.txt"), "one\ntwo\nlone\rcr\n");
    EXPECT_EQ(ReadFile(tmp / "out/bin.dat"), std::string("\x00\x01\r\n\x02", 5));

    Harness off;
    EXPECT_EQ(off.Extract(zip, tmp / "raw"), UZ_OK);
    EXPECT_EQ(ReadFile(tmp / "raw/dos.txt"), "one\r\ntwo\r\nlone\rcr\r\n");
}

TEST(LineEnds, StreamedEntryConvertsAcrossChunks) {
    // Bigger than what is inflated in memory, so it is streamed in 1 MiB pieces; 5-byte
    // lines put a CR at the end of some pieces and its LF at the start of the next.
    TempDir tmp;
    const std::string zip = tmp / "big.zip";
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) +
                    ", [{'name': 'big.txt', 'data': b'abc\\r\\n' * (14 * 1024 * 1024)}])")
                  .exitCode,
              0);
    Harness h;
    h.options.ConvertCRToCRLF = 1;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    const std::string out = ReadFile(tmp / "out/big.txt");
    ASSERT_EQ(out.size(), 4u * 14 * 1024 * 1024);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.substr(0, 8), "abc\nabc\n");
}

TEST(TestZip, ChecksEverythingAndWritesNothing) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    Harness h;
    h.options.TestZip = 1;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_FALSE(fs::exists(tmp / "out"));
    EXPECT_TRUE(h.HasMessage("    testing: docs/a.txt  OK")) << h.AllMessages();
    EXPECT_TRUE(h.HasMessage("Done: 5 tested OK, 0 skipped, 0 failed")) << h.AllMessages();

    ASSERT_EQ(Craft("zipcraft.raw(" + ShellQuote(tmp / "bad.zip") + R"(, [
        {'name': b'good.txt', 'data': b'fine'},
        {'name': b'bad.txt', 'data': b'damaged', 'crc': 1234},
    ]))").exitCode, 0);
    Harness bad;
    bad.options.TestZip = 1;
    bad.options.MessageLevel = 1;
    EXPECT_EQ(bad.Extract(tmp / "bad.zip", tmp / "out"), UZ_ERR_BADZIP);
    EXPECT_EQ(bad.messages, (std::vector<std::string>{"error: bad.txt: CRC mismatch",
                                                       "Done: 1 tested OK, 0 skipped, 1 failed"}));
    EXPECT_FALSE(fs::exists(tmp / "out"));
}

TEST(Messages, LevelsFilterWhatIsSent) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    Harness all;
    EXPECT_EQ(all.Extract(zip, tmp / "0"), UZ_OK);
    EXPECT_EQ(all.messages, (std::vector<std::string>{
                                "   creating: docs/", "  inflating: docs/a.txt",
                                "  inflating: docs/B.TXT", "  inflating: src/main.c",
                                "  inflating: readme.md", "Done: 5 extracted, 0 skipped, 0 failed"}));
    Harness summary;
    summary.options.MessageLevel = 1;
    EXPECT_EQ(summary.Extract(zip, tmp / "0"), UZ_OK);  // all exist now, none replaced
    EXPECT_EQ(summary.messages,
              (std::vector<std::string>{"Done: 1 extracted, 4 skipped, 0 failed"}));
    Harness quiet;
    quiet.options.MessageLevel = 2;
    quiet.include = {"nothing"};
    EXPECT_EQ(quiet.Extract(zip, tmp / "2"), UZ_ERR_NOMATCH);
    EXPECT_EQ(quiet.messages, (std::vector<std::string>{"error: no entry matches nothing"}));
}

// The entry's own progress lines, in order, as percentages.
std::vector<int> EntryPercentages(const Harness &h, const std::string &prefix) {
    std::vector<int> percentages;
    for (const auto &m : h.messages)
        if (m.rfind(prefix, 0) == 0 && IsProgressLine(m))
            percentages.push_back(std::stoi(m.substr(m.rfind(' ') + 1)));
    return percentages;
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
    const std::vector<int> seen = EntryPercentages(h, "  inflating: big.bin ");
    EXPECT_GE(seen.size(), 9u) << h.AllMessages();  // each tenth at least
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << h.AllMessages();
    EXPECT_EQ(h.MessagesWithoutProgress(),
              (std::vector<std::string>{"Done: 1 extracted, 0 skipped, 0 failed"}));
    EXPECT_FALSE(h.foreignThread);

    Harness quiet;
    quiet.options.MessageLevel = 2;
    quiet.options.OverwriteExisting = 1;
    ASSERT_EQ(quiet.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_TRUE(quiet.messages.empty()) << quiet.AllMessages();
}

TEST(Replace, OverwriteOrKeepWithoutAsking) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    WriteFile(tmp / "out/readme.md", "mine");
    Harness keep;
    EXPECT_EQ(keep.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_EQ(ReadFile(tmp / "out/readme.md"), "mine");
    EXPECT_TRUE(keep.HasMessage("   skipping: readme.md (already exists)"));
    EXPECT_TRUE(keep.replaceAsked.empty());

    Harness overwrite;
    overwrite.options.OverwriteExisting = 1;
    overwrite.options.PromptToOverwrite = 1;
    EXPECT_EQ(overwrite.Extract(zip, tmp / "out"), UZ_OK);
    EXPECT_EQ(ReadFile(tmp / "out/readme.md"), "read me");
    EXPECT_TRUE(overwrite.replaceAsked.empty());
}

TEST(Replace, EveryAnswerAndToAll) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    const std::vector<std::string> files = {"docs/a.txt", "docs/B.TXT", "src/main.c", "readme.md"};
    auto prepare = [&](const std::string &dir) {
        for (const auto &f : files) WriteFile(tmp / (dir + "/" + f), "old");
    };
    auto contents = [&](const std::string &dir) {
        std::vector<std::string> out;
        for (const auto &f : files) out.push_back(ReadFile(tmp / (dir + "/" + f)));
        return out;
    };
    prepare("a");
    Harness h;
    h.options.PromptToOverwrite = 1;
    h.replies = {UZ_REPLACE_NO, UZ_REPLACE_YES, UZ_REPLACE_ALL};
    EXPECT_EQ(h.Extract(zip, tmp / "a"), UZ_OK);
    EXPECT_EQ(h.replaceAsked, (std::vector<std::string>{"docs/a.txt", "docs/B.TXT", "src/main.c"}));
    EXPECT_EQ(contents("a"), (std::vector<std::string>{"old", "bravo", "int main;", "read me"}));

    prepare("b");
    Harness none;
    none.options.PromptToOverwrite = 1;
    none.replies = {UZ_REPLACE_YES, UZ_REPLACE_NONE};
    EXPECT_EQ(none.Extract(zip, tmp / "b"), UZ_OK);
    EXPECT_EQ(none.replaceAsked, (std::vector<std::string>{"docs/a.txt", "docs/B.TXT"}));
    EXPECT_EQ(contents("b"), (std::vector<std::string>{"alpha", "old", "old", "old"}));
}

TEST(Replace, OnlyNewerEntries) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);  // entries dated 2020-05-17
    WriteFile(tmp / "out/docs/a.txt", "newer file");
    WriteFile(tmp / "out/docs/B.TXT", "older file");
    struct utimbuf old {};
    old.actime = old.modtime = 1000000000;  // 2001
    ASSERT_EQ(utime((tmp / "out/docs/B.TXT").c_str(), &old), 0);
    Harness h;
    h.options.ExtractOnlyNewer = 1;
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(ReadFile(tmp / "out/docs/a.txt"), "newer file");
    EXPECT_EQ(ReadFile(tmp / "out/docs/B.TXT"), "bravo");
    EXPECT_EQ(ReadFile(tmp / "out/readme.md"), "read me");  // missing files come too
    EXPECT_TRUE(h.HasMessage("   skipping: docs/a.txt (not newer)"));
}

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
    struct stat st {};
    ASSERT_EQ(stat((tmp / "out/ro/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);  // no setuid
    ASSERT_EQ(stat((tmp / "out/private.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat((tmp / "out/sticky.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    std::tm when{};
    when.tm_year = 120, when.tm_mon = 4, when.tm_mday = 17, when.tm_hour = 10, when.tm_min = 30,
    when.tm_sec = 42, when.tm_isdst = -1;
    EXPECT_EQ(st.st_mtime, mktime(&when));
    ASSERT_EQ(stat((tmp / "out/ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0555u);  // set after its files were written
    std::tm folderWhen{};
    folderWhen.tm_year = 119, folderWhen.tm_mon = 0, folderWhen.tm_mday = 2, folderWhen.tm_hour = 3,
    folderWhen.tm_min = 4, folderWhen.tm_sec = 6, folderWhen.tm_isdst = -1;
    EXPECT_EQ(st.st_mtime, mktime(&folderWhen));
}

TEST(Service, StopsAfterTheCurrentEntry) {
    TempDir tmp;
    const std::string zip = MakeSample(tmp);
    Harness h;
    h.stopAt = "docs/B.TXT";
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_ERR_ABORT);
    EXPECT_EQ(h.serviceNames, (std::vector<std::string>{"docs/", "docs/a.txt", "docs/B.TXT"}));
    EXPECT_TRUE(fs::exists(tmp / "out/docs/B.TXT"));
    EXPECT_FALSE(fs::exists(tmp / "out/src"));
    EXPECT_TRUE(h.HasMessage("Stopped at the caller's request."));
}
