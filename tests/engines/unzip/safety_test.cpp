// Nothing is written outside the destination, through a link, over another entry, or
// from data that did not check out; damaged archives leave existing files alone.
#include "Mount.h"
#include "UnzipHarness.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace unziptest;
using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

TEST(Safety, HostileNamesAreRefused) {
    TempDir tmp;
    const std::string zip = tmp / "evil.zip";
    const std::string absolute = tmp / "abs.txt";
    ASSERT_EQ(Craft("zipcraft.raw(" + ShellQuote(zip) + ", [" +
                    "{'name': b'../up.txt', 'data': b'x'}," +
                    "{'name': b'" + absolute + "', 'data': b'x'}," +
                    R"({'name': b'C:\\drive.txt', 'data': b'x'},
                       {'name': b'..\\back.txt', 'data': b'x'},
                       {'name': b'docs/../../deep.txt', 'data': b'x'},
                       {'name': b'good.txt', 'data': b'fine'}]))")
                  .exitCode,
              0);
    // With folder names kept the hostile set covers these; dropping them must not let a
    // hostile name through as a bare file name either.
    Harness h;
    h.options.UseFolderNames = 0;
    h.options.OverwriteExisting = 1;
    h.options.MessageLevel = 2;
    EXPECT_EQ(h.Extract(zip, tmp / "dest"), UZ_WARNING);
    EXPECT_EQ(NamesIn(tmp / "dest"), (std::vector<std::string>{"good.txt"}));
    EXPECT_EQ(h.messages, (std::vector<std::string>{
                              "warning: ../up.txt: parent folder reference (..), skipped",
                              "warning: " + absolute + ": absolute path, skipped",
                              "warning: C:\\drive.txt: drive letter, skipped",
                              "warning: ..\\back.txt: parent folder reference (..), skipped",
                              "warning: docs/../../deep.txt: parent folder reference (..), skipped"}));
    EXPECT_EQ(NamesIn(tmp.path()), (std::vector<std::string>{"dest", "evil.zip"}));
}

TEST(Safety, InconsistentEntriesAreRefused) {
    // Overlaps and disagreeing local names are in the hostile set. Here a stored entry's
    // sizes disagree with its data, or its data would run past the entries' area.
    TempDir tmp;
    ASSERT_EQ(Craft("zipcraft.raw(" + ShellQuote(tmp / "bad.zip") + R"(, [
        {'name': b'long.txt', 'data': b'0123456789', 'size': 5},
        {'name': b'fine.txt', 'data': b'fine'}]))").exitCode, 0);
    std::string over = ReadFile(tmp / "bad.zip");
    for (size_t at : {size_t{18}, over.find("PK\x01\x02") + 20}) over.replace(at, 4, std::string("\x88\x13\0\0", 4));
    WriteFile(tmp / "over.zip", over);  // a compressed size of 5000 in both headers
    for (auto [zip, why] : {std::pair{"bad.zip", "size differs from the central directory"},
                            {"over.zip", "entry data lies outside the archive"}}) {
        Harness h;
        h.options.MessageLevel = 2;
        EXPECT_EQ(h.Extract(tmp / zip, tmp / zip + "-out"), UZ_ERR_BADZIP);
        EXPECT_EQ(h.messages, (std::vector<std::string>{std::string("error: long.txt: ") + why}));
        EXPECT_EQ(NamesIn(tmp / zip + "-out"), (std::vector<std::string>{"fine.txt"}));
    }
}

TEST(Safety, EntriesDecodedAheadAreCheckedAndPassedOverSafely) {
    // Many plain entries are inflated by worker threads ahead of the writes; entries kept
    // because their files exist are passed over, and a damaged one is still refused.
    TempDir tmp;
    ASSERT_EQ(Craft("import struct, zlib\n"
                    "entries = [{'name': 'f%02d.txt' % i, 'data': ('line %d of %d\\n' % (i, i)) * 2000}"
                    " for i in range(40)]\n"
                    "zipcraft.make(" + ShellQuote(tmp / "many.zip") + ", entries)\n"
                    "data = open(" + ShellQuote(tmp / "many.zip") + ", 'rb').read()\n"
                    "crc = struct.pack('<I', zlib.crc32(entries[17]['data'].encode()))\n"
                    "assert data.count(crc) == 2\n"
                    "open(" + ShellQuote(tmp / "many.zip") + ", 'wb').write("
                    "data.replace(crc, bytes([crc[0] ^ 1]) + crc[1:]))\n")
                  .exitCode,
              0);
    auto file = [&](int i) { return tmp / ((i < 10 ? "out/f0" : "out/f") + std::to_string(i) + ".txt"); };
    for (int i = 0; i < 40; i += 3) WriteFile(file(i), "mine");
    Harness h;
    h.options.MessageLevel = 2;
    EXPECT_EQ(h.Extract(tmp / "many.zip", tmp / "out"), UZ_ERR_BADZIP);
    EXPECT_EQ(h.messages, (std::vector<std::string>{"error: f17.txt: CRC mismatch"}));
    for (int i = 0; i < 40; ++i) {
        const std::string name = file(i);
        std::string expected;
        for (int k = 0; k < 2000; ++k)
            expected += "line " + std::to_string(i) + " of " + std::to_string(i) + "\n";
        if (i == 17)
            EXPECT_FALSE(fs::exists(name));
        else
            EXPECT_EQ(ReadFile(name), i % 3 == 0 ? "mine" : expected) << name;
    }
}

TEST(Safety, ArchiveTruncatedDuringExtractionFailsCleanly) {
    // Another program cuts the archive short while entries are read: those entries fail as
    // damaged, the process lives on, and the files they would replace stay as they were.
    TempDir tmp;
    const std::string zip = tmp / "cut.zip";
    ASSERT_EQ(Craft("import os\nzipcraft.make(" + ShellQuote(zip) +
                    ", [{'name': 'e%d.bin' % i, 'data': os.urandom(3 << 20), 'method': 'stored'}"
                    " for i in range(4)])").exitCode, 0);
    const auto size = fs::file_size(zip);
    for (int i = 0; i < 4; ++i) WriteFile(tmp / ("out/e" + std::to_string(i) + ".bin"), "mine");
    Harness h;
    h.options.OverwriteExisting = 1;
    h.options.MessageLevel = 2;
    h.onService = [&](const std::string &name) {
        if (name == "e1.bin") fs::resize_file(zip, size / 3);
    };
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_ERR_BADZIP) << h.AllMessages();
    EXPECT_EQ(h.serviceNames, (std::vector<std::string>{"e0.bin", "e1.bin", "e2.bin", "e3.bin"}));
    EXPECT_EQ(fs::file_size(tmp / "out/e0.bin"), 3u << 20);
    for (int i = 1; i < 4; ++i) EXPECT_EQ(ReadFile(tmp / ("out/e" + std::to_string(i) + ".bin")), "mine");
    EXPECT_EQ(NamesIn(tmp / "out"), (std::vector<std::string>{"e0.bin", "e1.bin", "e2.bin", "e3.bin"}));
}

TEST(Safety, UnwritableDestinationFailsEachFileByName) {
    TempDir tmp;
    ASSERT_EQ(Craft("zipcraft.make(" + ShellQuote(tmp / "a.zip") +
                    ", [{'name': 'a.txt', 'data': 'a'}, {'name': 'b.txt', 'data': 'b' * 5000}])").exitCode, 0);
    fs::create_directories(tmp / "out");
    fs::permissions(tmp / "out", fs::perms::owner_read | fs::perms::owner_exec);
    const testsupport::Mount readOnly(tmp / "out");  // root writes into a folder of any mode
    if (::geteuid() == 0 && !readOnly.ok()) GTEST_SKIP() << "cannot bind-mount read-only here";
    Harness h;
    h.options.MessageLevel = 1;
    EXPECT_EQ(h.Extract(tmp / "a.zip", tmp / "out"), UZ_ERR_WRITE);
    const std::string why = ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
    EXPECT_EQ(h.AllMessages(), "error: a.txt: cannot create file: " + why + "\nerror: b.txt: cannot create file: " +
                                   why + "\nDone: 0 extracted, 0 skipped, 2 failed (a.txt: cannot create file: " + why + ")\n");
    EXPECT_TRUE(NamesIn(tmp / "out").empty());
}

TEST(Safety, KilledPartWayLeavesTheExistingFileAndNothingElse) {
    // The child is killed while its first try at an encrypted entry is being written. The
    // file the entry would replace is intact, nothing of the run is left, and a later run works.
    TempDir tmp;
    WriteFile(tmp / "src/victim.txt", "from the archive");
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && zip -q -P secret ../e.zip victim.txt")
                  .exitCode, 0);
    WriteFile(tmp / "out/victim.txt", "mine");
    ASSERT_TRUE(testsupport::RunAndKillAtLine({ENGINE_CHILD, "unzip", tmp / "e.zip", tmp / "out"}, "paused"));
    EXPECT_EQ(ReadFile(tmp / "out/victim.txt"), "mine");
    EXPECT_EQ(NamesIn(tmp / "out"), std::vector<std::string>{"victim.txt"});
    Harness h;
    h.options.OverwriteExisting = 1;
    h.passwords = {std::string("secret")};
    EXPECT_EQ(h.Extract(tmp / "e.zip", tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(ReadFile(tmp / "out/victim.txt"), "from the archive");
}
