// Encrypted entries: traditional and AES, right, wrong and refused passwords.
#include "UnzipHarness.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace unziptest;
using testsupport::ReadFile;

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kFirst(3000, '1');
const std::string kSecond = "second entry";

enum class Cipher { Traditional, Aes };

// Two entries, a.txt (deflated) and b.txt (stored by size), encrypted with "secret".
std::string MakeEncrypted(const TempDir &tmp, Cipher cipher) {
    WriteFile(tmp / "src/a.txt", kFirst);
    WriteFile(tmp / "src/b.txt", kSecond);
    const std::string zip = tmp / "enc.zip";
    const std::string command =
        cipher == Cipher::Traditional
            ? "zip -q -P secret ../enc.zip a.txt b.txt"
            : "7zz a -tzip -psecret -mem=AES256 ../enc.zip a.txt b.txt >/dev/null";
    EXPECT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && " + command).exitCode, 0);
    return zip;
}

class Passwords : public ::testing::TestWithParam<Cipher> {};

}  // namespace

TEST_P(Passwords, RightPasswordIsAskedOnceAndReused) {
    TempDir tmp;
    const std::string zip = MakeEncrypted(tmp, GetParam());
    Harness h;
    h.passwords = {std::string("secret")};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(ReadFile(tmp / "out/a.txt"), kFirst);
    EXPECT_EQ(ReadFile(tmp / "out/b.txt"), kSecond);
    ASSERT_EQ(h.passwordQueries.size(), 1u);  // the second entry tries "secret" first
    EXPECT_EQ(h.passwordQueries[0].bufferSize, UZ_PASSWORD_BUFFER);
    EXPECT_TRUE(h.passwordQueries[0].bufferWasZeroed);
    EXPECT_EQ(h.passwordQueries[0].entryName, "a.txt");
}

TEST_P(Passwords, WrongThenRight) {
    TempDir tmp;
    const std::string zip = MakeEncrypted(tmp, GetParam());
    Harness h;
    h.passwords = {std::string("wrong"), std::string("secret")};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_OK) << h.AllMessages();
    EXPECT_EQ(ReadFile(tmp / "out/a.txt"), kFirst);
    ASSERT_EQ(h.passwordQueries.size(), 2u);
    EXPECT_EQ(h.passwordQueries[0].prompt, "Enter password");
    EXPECT_EQ(h.passwordQueries[1].prompt, "Incorrect password, try again");
    EXPECT_TRUE(h.passwordQueries[1].bufferWasZeroed);
}

TEST_P(Passwords, WrongPasswordsGiveUpAfterThreeTriesAndLeaveNothing) {
    TempDir tmp;
    const std::string zip = MakeEncrypted(tmp, GetParam());
    WriteFile(tmp / "out/a.txt", "existing");
    Harness h;
    h.options.OverwriteExisting = 1;
    h.options.MessageLevel = 2;
    h.passwords = {std::string("w1"), std::string("w2"), std::string("w3"), std::string("w4"),
                   std::string("w5"), std::string("w6")};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_ERR_PASSWORD);
    EXPECT_EQ(h.passwordQueries.size(), 6u);  // three for each entry
    EXPECT_EQ(h.messages, (std::vector<std::string>{"error: a.txt: incorrect password, skipped",
                                                     "error: b.txt: incorrect password, skipped"}));
    EXPECT_EQ(ReadFile(tmp / "out/a.txt"), "existing");
    EXPECT_EQ(NamesIn(tmp / "out"), (std::vector<std::string>{"a.txt"}));
}

TEST_P(Passwords, RefusedPasswordSkipsTheEntry) {
    TempDir tmp;
    const std::string zip = MakeEncrypted(tmp, GetParam());
    Harness h;
    h.options.MessageLevel = 1;
    h.passwords = {std::nullopt, std::string("secret")};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_ERR_PASSWORD);
    EXPECT_EQ(NamesIn(tmp / "out"), (std::vector<std::string>{"b.txt"}));
    EXPECT_EQ(h.messages, (std::vector<std::string>{"error: a.txt: no password given, skipped",
                                                     "Done: 1 extracted, 0 skipped, 1 failed"}));
}

TEST_P(Passwords, UnterminatedBufferIsReadWithinItsSize) {
    TempDir tmp;
    const std::string zip = MakeEncrypted(tmp, GetParam());
    Harness h;
    h.options.TestZip = 1;
    h.fillPasswordBuffer = true;  // 256 bytes of "x", no NUL anywhere
    h.passwords = {std::string("x"), std::nullopt};
    EXPECT_EQ(h.Extract(zip, tmp / "out"), UZ_ERR_PASSWORD);
    EXPECT_FALSE(fs::exists(tmp / "out"));
}

INSTANTIATE_TEST_SUITE_P(Ciphers, Passwords, ::testing::Values(Cipher::Traditional, Cipher::Aes),
                         [](const auto &info) {
                             return info.param == Cipher::Traditional ? "Traditional" : "Aes";
                         });
