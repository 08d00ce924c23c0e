// Listing: the EntryCallback fields, names in their encodings, open failures.
#include "UnzipHarness.h"

#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

using namespace unziptest;

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

uint32_t Crc(const std::string &data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
}

}  // namespace

TEST(Listing, ReportsEveryFieldInDirectoryOrder) {
    TempDir tmp;
    const std::string zip = tmp / "a.zip";
    const std::string text(5000, 'a');
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(zip) + R"(, [
        {'name': 'docs/'},
        {'name': 'docs/a.txt', 'data': 'a' * 5000},
        {'name': 'empty.txt', 'data': ''},
        {'name': 'stored.bin', 'data': 'xyz', 'method': 'stored',
         'date': (2021, 12, 31, 23, 59, 58)},
    ]))").exitCode, 0);
    Harness h;
    ASSERT_EQ(h.List(zip), UZ_OK);
    ASSERT_EQ(h.listed.size(), 4u);
    EXPECT_EQ(h.listed[0].name, "docs/");
    EXPECT_EQ(h.listed[1].name, "docs/a.txt");
    EXPECT_EQ(h.listed[2].name, "empty.txt");
    EXPECT_EQ(h.listed[3].name, "stored.bin");

    const ListedEntry &a = h.listed[1];
    EXPECT_EQ(a.size, 5000u);
    EXPECT_GT(a.compressedSize, 0u);
    EXPECT_EQ(a.ratio, static_cast<int32_t>(a.compressedSize * 100 / 5000));
    EXPECT_EQ(a.method, "Deflated");
    EXPECT_EQ(a.crc, Crc(text));
    EXPECT_EQ(a.flags & UZ_ENTRY_ENCRYPTED, 0);
    EXPECT_EQ(std::vector<int>({a.year, a.month, a.day, a.hour, a.minute, a.second}),
              std::vector<int>({2020, 5, 17, 10, 30, 42}));

    EXPECT_EQ(h.listed[2].ratio, 0);  // empty entry
    EXPECT_EQ(h.listed[2].size, 0u);
    const ListedEntry &stored = h.listed[3];
    EXPECT_EQ(stored.method, "Stored");
    EXPECT_EQ(stored.ratio, 100);
    EXPECT_EQ(stored.crc, Crc("xyz"));
    EXPECT_EQ(std::vector<int>({stored.year, stored.month, stored.day, stored.hour,
                                stored.minute, stored.second}),
              std::vector<int>({2021, 12, 31, 23, 59, 58}));
    EXPECT_TRUE(h.messages.empty());
}

TEST(Listing, ExtendedTimestampGivesExactSeconds) {
    TempDir tmp;
    WriteFile(tmp / "src/odd.txt", "odd second");
    const time_t when = 1600000001;  // an odd second, which a DOS time cannot hold
    const std::string touch = "touch -d @" + std::to_string(when) + " " + ShellQuote(tmp / "src/odd.txt");
    ASSERT_EQ(testsupport::Run(touch).exitCode, 0);
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && zip -q ../t.zip odd.txt").exitCode, 0);
    Harness h;
    ASSERT_EQ(h.List(tmp / "t.zip"), UZ_OK);
    ASSERT_EQ(h.listed.size(), 1u);
    std::tm local{};
    localtime_r(&when, &local);
    EXPECT_EQ(h.listed[0].year, local.tm_year + 1900);
    EXPECT_EQ(h.listed[0].minute, local.tm_min);
    EXPECT_EQ(h.listed[0].second, local.tm_sec);
}

TEST(Listing, EncryptedEntriesAreFlagged) {
    TempDir tmp;
    WriteFile(tmp / "src/s.txt", std::string(2000, 's'));
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && zip -q -P pw ../z.zip s.txt").exitCode, 0);
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && 7zz a -tzip -ppw -mem=AES256 ../a.zip s.txt").exitCode, 0);
    for (const char *name : {"z.zip", "a.zip"}) {
        Harness h;
        ASSERT_EQ(h.List(tmp / name), UZ_OK) << name;
        ASSERT_EQ(h.listed.size(), 1u);
        EXPECT_EQ(h.listed[0].flags & UZ_ENTRY_ENCRYPTED, UZ_ENTRY_ENCRYPTED) << name;
        EXPECT_EQ(h.listed[0].method, "Deflated") << name;  // AES names its inner method
        EXPECT_EQ(h.listed[0].size, 2000u);
    }
}

TEST(Listing, ArchivesThatCannotBeOpened) {
    TempDir tmp;
    WriteFile(tmp / "text.zip", "this is not an archive at all, just some text");
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(tmp / "good.zip") +
                    ", [{'name': 'a.txt', 'data': 'x' * 100}])").exitCode, 0);
    const std::string good = testsupport::ReadFile(tmp / "good.zip");
    WriteFile(tmp / "cut.zip", good.substr(0, good.size() - 30));
    std::string count = good;  // the end record counts two entries, the directory holds one
    count[count.size() - 22 + 8] = count[count.size() - 22 + 10] = 2;
    WriteFile(tmp / "count.zip", count);
    for (const char *name : {"missing.zip", "text.zip", "cut.zip", "count.zip"}) {
        Harness h;
        EXPECT_EQ(h.List(tmp / name), UZ_ERR_OPEN) << name;
        ASSERT_EQ(h.messages.size(), 1u) << name;
        EXPECT_EQ(h.messages[0].rfind("error: cannot open " + (tmp / name) + ": ", 0), 0u)
            << h.messages[0];
        EXPECT_TRUE(h.listed.empty());
    }
    Harness noPath;
    EXPECT_EQ(noPath.Call(), UZ_ERR_PARAM);
    Harness noFolder;
    EXPECT_EQ(noFolder.Extract(tmp / "good.zip", ""), UZ_ERR_PARAM);
    EXPECT_EQ(noFolder.messages, (std::vector<std::string>{"error: no destination folder given"}));
}

TEST(Listing, NamesInEveryEncoding) {
    // A name flagged UTF-8 that is not UTF-8 must not make the archive unreadable: it is
    // read as code page 437 and its entry, like the others, still extracts. Unflagged
    // names from a DOS host are code page 437; control characters become "_".
    TempDir tmp;
    const std::string zip = tmp / "names.zip";
    ASSERT_EQ(Craft("zipcraft.raw(" + ShellQuote(zip) + R"(, [
        {'name': b'bad\xe9.txt', 'data': b'flagged', 'flags': 0x800},
        {'name': b'caf\xc3\xa9.txt', 'data': b'utf8', 'flags': 0x800},
        {'name': b'dos\x82.txt', 'data': b'cp437', 'made_by': 0x0014},
        {'name': b'ctl\x01\x00x.txt', 'data': b'control'},
        {'name': b'comment.txt', 'data': b'note', 'flags': 0x800, 'comment': b'bad \xff'},
    ]))").exitCode, 0);
    Harness h;
    ASSERT_EQ(h.List(zip), UZ_OK);
    ASSERT_EQ(h.listed.size(), 5u);
    EXPECT_EQ(h.listed[0].name, "bad\xCE\x98.txt");  // 0xE9 is capital theta in CP437
    EXPECT_EQ(h.listed[1].name, "caf\xC3\xA9.txt");
    EXPECT_EQ(h.listed[2].name, "dos\xC3\xA9.txt");
    EXPECT_EQ(h.listed[3].name, "ctl__x.txt");

    Harness x;
    x.options.OverwriteExisting = 1;
    EXPECT_EQ(x.Extract(zip, tmp / "out"), UZ_OK) << x.AllMessages();
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/bad\xCE\x98.txt"), "flagged");
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/caf\xC3\xA9.txt"), "utf8");
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/dos\xC3\xA9.txt"), "cp437");
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/ctl__x.txt"), "control");
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/comment.txt"), "note");
}

TEST(Version, TextsAreTerminatedInsideTheirFields) {
    UnzipVersion v;
    std::memset(&v, ' ', sizeof v);
    UzpVersion2(&v);
    EXPECT_NE(std::memchr(v.ExtraInfo, 0, sizeof v.ExtraInfo), nullptr);
    EXPECT_NE(std::memchr(v.Date, 0, sizeof v.Date), nullptr);
    EXPECT_NE(std::memchr(v.LibraryVersion, 0, sizeof v.LibraryVersion), nullptr);
    EXPECT_GT(std::strlen(v.Date), 0u);
}

TEST(Listing, Zip64DirectoryOfManyEntries) {
    // Over 65,535 entries need the zip64 end record; each entry is also written with
    // zip64 fields in its local header.
    TempDir tmp;
    const std::string zip = tmp / "many.zip";
    ASSERT_EQ(testsupport::RunPython(R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for i in range(70000):
        with z.open('d%02d/e%05d' % (i % 100, i), 'w', force_zip64=(i % 1000 == 0)) as f:
            f.write(b'%d' % i)
)", ShellQuote(zip)).exitCode, 0);
    Harness h;
    ASSERT_EQ(h.List(zip), UZ_OK);
    ASSERT_EQ(h.listed.size(), 70000u);
    EXPECT_EQ(h.listed.back().name, "d99/e69999");
    EXPECT_EQ(h.listed.back().size, 5u);
    Harness test;
    test.options.TestZip = 1;
    test.options.MessageLevel = 1;
    EXPECT_EQ(test.Extract(zip, ""), UZ_OK);
    EXPECT_EQ(test.MessagesWithoutProgress(),
              (std::vector<std::string>{"Done: 70000 tested OK, 0 skipped, 0 failed"}));
}

TEST(Listing, BytesBeforeTheArchive) {
    // A self-extractor's program comes before the archive, whose offsets ignore it.
    TempDir tmp;
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(tmp / "a.zip") +
                    ", [{'name': 'docs/a.txt', 'data': 'alpha' * 100}, {'name': 'b.txt', 'data': 'b'}])")
                  .exitCode,
              0);
    WriteFile(tmp / "sfx.zip", std::string(5000, '\x90') + testsupport::ReadFile(tmp / "a.zip"));
    Harness list;
    ASSERT_EQ(list.List(tmp / "sfx.zip"), UZ_OK);
    ASSERT_EQ(list.listed.size(), 2u);
    EXPECT_EQ(list.listed[1].name, "b.txt");
    Harness h;
    EXPECT_EQ(h.Extract(tmp / "sfx.zip", tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/b.txt"), "b");
    EXPECT_EQ(testsupport::ReadFile(tmp / "out/docs/a.txt").size(), 500u);
}
