// Archives made by other archivers extract byte for byte, with result 0: a tree with the
// permission bits and times the archive carries, and every method and encryption a peer
// writes, on files of the sizes where encodings change.
#include "UnzipHarness.h"

#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace unziptest;

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kTreeTime = 1500000001;  // odd: a DOS time cannot hold it
constexpr int64_t kOldTime = -157766400;   // 1965-01-01 UTC, before the Unix epoch

// Text, binary, empty, dot and UTF-8-named files in nested folders, an empty folder, an
// executable, and a file from 1965.
void MakeSourceTree(const std::string &root) {
    WriteFile(root + "/readme.txt", "hello\r\nworld\r\n");
    std::string binary;
    for (unsigned i = 0; i < 300000; ++i) binary += static_cast<char>((i * 7919u) % 251u);
    WriteFile(root + "/data/blob.bin", binary);
    WriteFile(root + "/data/empty.txt", "");
    WriteFile(root + "/data/deep/er/note.md", std::string(70000, 'n'));
    WriteFile(root + "/caf\xC3\xA9/na\xC3\xAFve.txt", "accents");
    WriteFile(root + "/.env", "KEY=value\n");
    WriteFile(root + "/run.sh", "#!/bin/sh\necho hi\n");
    fs::permissions(root + "/run.sh", fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read);
    fs::create_directories(root + "/empty");
    testsupport::Run("find " + ShellQuote(root) + " -exec touch -d @" + std::to_string(kTreeTime) + " {} +");
    WriteFile(root + "/old.txt", "from 1965");
    testsupport::Run("touch -d @" + std::to_string(kOldTime) + " " + ShellQuote(root + "/old.txt"));
}

// The tree, with each file's permission bits and, when times is set, modification time.
std::string DescribeWithAttributes(const std::string &root, bool times) {
    std::string text = DescribeTree(root);
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        lstat(e.path().c_str(), &st);
        if (S_ISREG(st.st_mode))
            text += e.path().lexically_relative(root).string() + " mode " +
                    std::to_string(st.st_mode & 07777) +
                    (times ? " time " + std::to_string(st.st_mtime) : "") + "\n";
    }
    return text;
}

struct PeerCase {
    const char *name;
    // Run in the source folder; $OUT is the archive to write. {py} is the system python.
    const char *make;
    const char *password;  // null: none
    // The archive keeps exact times: the source's come back. Otherwise the times (DOS
    // times, 1980 at the earliest) must be those the reference extractor gives.
    bool exactTimes;
};

std::ostream &operator<<(std::ostream &out, const PeerCase &c) { return out << c.name; }

class Peers : public ::testing::TestWithParam<PeerCase> {};

// python's zipfile, with a method; ZIP64 limits lowered so that every structure it can
// write in zip64 form is written so.
std::string PythonMaker(const std::string &method, bool zip64) {
    const std::string script =
        "import os, sys, zipfile\n" +
        std::string(zip64 ? "zipfile.ZIP64_LIMIT = 1000\nzipfile.ZIP_FILECOUNT_LIMIT = 1\n" : "") +
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile." + method + ", strict_timestamps=False) as z:\n"
        "    for folder, dirs, files in sorted(os.walk('.')):\n"
        "        if folder != '.':\n"
        "            z.write(folder, os.path.normpath(folder))\n"
        "        for f in sorted(files):\n"
        "            z.write(os.path.join(folder, f), os.path.normpath(os.path.join(folder, f)))\n";
    return "{py} -c " + ShellQuote(script) + " \"$OUT\"";
}

const std::string kPythonStored = PythonMaker("ZIP_STORED", false);
const std::string kPythonDeflated = PythonMaker("ZIP_DEFLATED", false);
const std::string kPythonBzip2 = PythonMaker("ZIP_BZIP2", false);
const std::string kPythonZip64 = PythonMaker("ZIP_DEFLATED", true);

TEST_P(Peers, ExtractByteExact) {
    const PeerCase &c = GetParam();
    TempDir tmp;
    MakeSourceTree(tmp / "src");
    std::string make = c.make;
    const auto py = make.find("{py}");
    if (py != std::string::npos) make.replace(py, 4, testsupport::Python());
    const auto made = testsupport::Run("cd " + ShellQuote(tmp / "src") + " && OUT=" +
                                       ShellQuote(tmp / "p.zip") + " && " + make);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Harness h;
    if (c.password) h.passwords = {std::string(c.password)};
    EXPECT_EQ(h.Extract(tmp / "p.zip", tmp / "ours"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(DescribeWithAttributes(tmp / "ours", c.exactTimes),
              DescribeWithAttributes(tmp / "src", c.exactTimes));
    // Listing shows the time extraction gives.
    Harness list;
    ASSERT_EQ(list.List(tmp / "p.zip"), UZ_OK);
    int32_t oldYear = 0;
    for (const ListedEntry &e : list.listed)
        if (e.name == "old.txt" || e.name == "./old.txt") oldYear = e.year;
    struct stat st {};
    ASSERT_EQ(stat((tmp / "ours/old.txt").c_str(), &st), 0);
    std::tm local{};
    localtime_r(&st.st_mtime, &local);
    EXPECT_EQ(oldYear, local.tm_year + 1900);
    if (c.exactTimes) return;
    ASSERT_EQ(testsupport::Run("unzip -q " + ShellQuote(tmp / "p.zip") + " -d " + ShellQuote(tmp / "reference")).exitCode, 0);
    EXPECT_EQ(DescribeWithAttributes(tmp / "ours", true), DescribeWithAttributes(tmp / "reference", true));
}

const PeerCase kPeerCases[] = {
    {"zip", "ln -s data/blob.bin link && zip -q -r -y \"$OUT\" .", nullptr, true},
    {"zip_traditional", "zip -q -r -P secret \"$OUT\" .", "secret", true},
    {"sevenzip", "7zz a -tzip \"$OUT\" . >/dev/null", nullptr, true},
    {"bsdtar_deflate", "bsdtar --format zip -cf \"$OUT\" .", nullptr, true},
    {"bsdtar_store", "bsdtar --format zip --options zip:compression=store -cf \"$OUT\" .", nullptr, true},
    {"bsdtar_traditional",
     "bsdtar --format zip --options zip:encryption=traditional --passphrase secret -cf \"$OUT\" .",
     "secret", true},
    {"bsdtar_aes", "bsdtar --format zip --options zip:encryption=aes256 --passphrase secret -cf \"$OUT\" .",
     "secret", true},
    {"python_stored", kPythonStored.c_str(), nullptr, false},
    {"python_deflated", kPythonDeflated.c_str(), nullptr, false},
    {"python_bzip2", kPythonBzip2.c_str(), nullptr, false},
    {"python_zip64", kPythonZip64.c_str(), nullptr, false},
};

INSTANTIATE_TEST_SUITE_P(Archivers, Peers, ::testing::ValuesIn(kPeerCases),
                         [](const auto &info) { return std::string(info.param.name); });

// 7-Zip's zip archives: every method crossed with every encryption, each archive holding
// compressible and incompressible files of sizes around the AES and block boundaries.
struct SevenZipCase {
    const char *method;      // -mm
    const char *encryption;  // -mem, or null for none
};

std::ostream &operator<<(std::ostream &out, const SevenZipCase &c) {
    return out << c.method << "/" << (c.encryption ? c.encryption : "none");
}

class SevenZipMatrix : public ::testing::TestWithParam<SevenZipCase> {
protected:
    static void SetUpTestSuite() {
        source_ = std::make_unique<TempDir>();
        std::string noise;
        uint32_t x = 12345;
        for (size_t size : {0, 1, 19, 20, 4095, 300000}) {
            std::string text;
            while (text.size() < size) text += "line " + std::to_string(text.size()) + " of text\n";
            text.resize(size);
            while (noise.size() < size) {
                x = x * 1103515245u + 12345u;
                noise += static_cast<char>(x >> 24);
            }
            WriteFile(*source_ / ("text" + std::to_string(size)), text);
            WriteFile(*source_ / ("noise" + std::to_string(size)), noise.substr(0, size));
        }
    }
    static void TearDownTestSuite() { source_.reset(); }
    static std::unique_ptr<TempDir> source_;
};

std::unique_ptr<TempDir> SevenZipMatrix::source_;

TEST_P(SevenZipMatrix, ExtractsByteExact) {
    const SevenZipCase &c = GetParam();
    TempDir tmp;
    const std::string zip = tmp / "m.zip";
    const std::string encryption =
        c.encryption ? std::string(" -mem=") + c.encryption + " -pSecret1" : "";
    const auto made = testsupport::Run("cd " + ShellQuote(source_->path()) + " && 7zz a -tzip -mm=" +
                                       c.method + encryption + " " + ShellQuote(zip) + " . >/dev/null");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Harness h;
    h.passwords = {std::string("Secret1")};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(DescribeTree(tmp / "out"), DescribeTree(source_->path()));
    EXPECT_LE(h.passwordQueries.size(), 1u);
}

const SevenZipCase kSevenZipCases[] = {
    {"Copy", nullptr},    {"Copy", "ZipCrypto"},    {"Copy", "AES128"},    {"Copy", "AES256"},
    {"Deflate", nullptr}, {"Deflate", "ZipCrypto"}, {"Deflate", "AES128"}, {"Deflate", "AES256"},
    {"BZip2", nullptr},   {"BZip2", "ZipCrypto"},   {"BZip2", "AES128"},   {"BZip2", "AES256"},
};

INSTANTIATE_TEST_SUITE_P(Methods, SevenZipMatrix, ::testing::ValuesIn(kSevenZipCases),
                         [](const auto &info) {
                             return std::string(info.param.method) + "_" +
                                    (info.param.encryption ? info.param.encryption : "None");
                         });

}  // namespace
