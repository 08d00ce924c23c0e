// Archives made by other archivers extract to the same tree as the reference extractor
// makes of them, byte for byte, with the same permission bits and times.
#include "UnzipHarness.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace unziptest;

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

// Text, binary, empty and UTF-8-named files in nested folders, an empty folder, and an
// executable.
void MakeSourceTree(const std::string &root) {
    WriteFile(root + "/readme.txt", "hello\r\nworld\r\n");
    std::string binary;
    for (unsigned i = 0; i < 300000; ++i) binary += static_cast<char>((i * 7919u) % 251u);
    WriteFile(root + "/data/blob.bin", binary);
    WriteFile(root + "/data/empty.txt", "");
    WriteFile(root + "/data/deep/er/note.md", std::string(70000, 'n'));
    WriteFile(root + "/caf\xC3\xA9/na\xC3\xAFve.txt", "accents");
    WriteFile(root + "/run.sh", "#!/bin/sh\necho hi\n");
    fs::permissions(root + "/run.sh", fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read);
    fs::create_directories(root + "/empty");
    testsupport::Run("find " + ShellQuote(root) + " -exec touch -d @1500000001 {} +");
}

// The tree with each file's permission bits and modification time.
std::string DescribeWithAttributes(const std::string &root) {
    std::string text = DescribeTree(root);
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        if (S_ISREG(st.st_mode))
            text += e.path().lexically_relative(root).string() + " mode " +
                    std::to_string(st.st_mode & 07777) + " time " + std::to_string(st.st_mtime) + "\n";
    }
    return text;
}

void ExpectSameAsReference(const TempDir &tmp, const std::string &zip) {
    ASSERT_TRUE(fs::exists(zip));
    ASSERT_EQ(testsupport::Run("unzip -q " + ShellQuote(zip) + " -d " + ShellQuote(tmp / "reference")).exitCode, 0);
    Harness h;
    EXPECT_EQ(h.Extract(zip, tmp / "ours"), UZ_OK) << h.AllMessages();
    const std::string ours = DescribeWithAttributes(tmp / "ours");
    EXPECT_EQ(ours, DescribeWithAttributes(tmp / "reference"));
    EXPECT_NE(ours.find("caf\xC3\xA9/na\xC3\xAFve.txt -> accents"), std::string::npos) << ours;
}

}  // namespace

TEST(Peers, PythonZipfile) {
    TempDir tmp;
    MakeSourceTree(tmp / "src");
    const auto made = testsupport::RunPython(R"(
import os, sys, zipfile
root = sys.argv[1]
with zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as z:
    for folder, dirs, files in sorted(os.walk(root)):
        rel = os.path.relpath(folder, root)
        if rel != '.':
            z.write(folder, rel)
        for f in sorted(files):
            z.write(os.path.join(folder, f), os.path.normpath(os.path.join(rel, f)))
)", ShellQuote(tmp / "src") + " " + ShellQuote(tmp / "p.zip"));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    ExpectSameAsReference(tmp, tmp / "p.zip");
}

TEST(Peers, Zip) {
    TempDir tmp;
    MakeSourceTree(tmp / "src");
    fs::create_symlink("data/blob.bin", tmp / "src/link");
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && zip -q -r -y ../z.zip .").exitCode, 0);
    ExpectSameAsReference(tmp, tmp / "z.zip");
    EXPECT_EQ(fs::read_symlink(tmp / "ours/link"), "data/blob.bin");
}

TEST(Peers, SevenZip) {
    TempDir tmp;
    MakeSourceTree(tmp / "src");
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && 7zz a -tzip ../s.zip . >/dev/null").exitCode, 0);
    ExpectSameAsReference(tmp, tmp / "s.zip");
}
