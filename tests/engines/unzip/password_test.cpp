// Encrypted entries: traditional and AES, right, wrong and refused passwords.
#include "UnzipHarness.h"

#include <filesystem>
#include <functional>
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

struct Row {
    const char *name;
    std::deque<std::optional<std::string>> passwords;  // nothing: refuse
    std::function<void(Harness &)> set;
    int32_t result;
    const char *files;     // the destination afterwards: "name=content ..." (first, second)
    const char *messages;  // one a line
    const char *asked;     // "entry: prompt" for each password query, one a line
};

class Passwords : public ::testing::TestWithParam<std::tuple<Cipher, Row>> {};

// Two entries, a.txt (deflated) and b.txt (stored by size), encrypted with "secret"; an
// existing out/a.txt is kept unless the right password replaces it.
TEST_P(Passwords, Extract) {
    const auto &[cipher, row] = GetParam();
    TempDir tmp;
    WriteFile(tmp / "src/a.txt", kFirst);
    WriteFile(tmp / "src/b.txt", kSecond);
    const std::string command = cipher == Cipher::Traditional
                                    ? "zip -q -P secret ../enc.zip a.txt b.txt"
                                    : "7zz a -tzip -psecret -mem=AES256 ../enc.zip a.txt b.txt >/dev/null";
    ASSERT_EQ(testsupport::Run("cd " + ShellQuote(tmp / "src") + " && " + command).exitCode, 0);
    Harness h;
    h.options.OverwriteExisting = 1;
    h.options.MessageLevel = 1;
    h.passwords = row.passwords;
    if (row.set) row.set(h);
    if (!h.options.TestZip) WriteFile(tmp / "out/a.txt", "existing");
    EXPECT_EQ(h.Extract(tmp / "enc.zip", tmp / "out"), row.result) << h.AllMessages();
    std::string files, asked;
    if (fs::exists(tmp / "out")) {
        for (const auto &name : NamesIn(tmp / "out")) {
            const std::string content = ReadFile(tmp / ("out/" + name));
            files += (files.empty() ? "" : " ") + name + "=" +
                     (content == kFirst ? "first" : content == kSecond ? "second" : content);
        }
    }
    EXPECT_EQ(files, row.files);
    EXPECT_EQ(h.AllMessages(), row.messages);
    for (const auto &q : h.passwordQueries) {
        asked += q.entryName + ": " + q.prompt + "\n";
        EXPECT_EQ(q.bufferSize, UZ_PASSWORD_BUFFER);
        EXPECT_TRUE(q.bufferWasZeroed);
    }
    EXPECT_EQ(asked, row.asked);
}

const Row kRows[] = {
    // The second entry tries the password that opened the first before asking.
    {"RightPasswordIsAskedOnce", {"secret"}, nullptr, UZ_OK, "a.txt=first b.txt=second",
     "Done: 2 extracted, 0 skipped, 0 failed\n", "a.txt: Enter password\n"},
    {"WrongThenRight", {"wrong", "secret"}, nullptr, UZ_OK, "a.txt=first b.txt=second",
     "warning: a.txt: incorrect password\nDone: 2 extracted, 0 skipped, 0 failed\n", "a.txt: Enter password\na.txt: Incorrect password, try again\n"},
    {"ThreeWrongTriesEach", {"w1", "w2", "w3", "w4", "w5", "w6"}, [](Harness &h) { h.options.MessageLevel = 2; },
     UZ_ERR_PASSWORD, "a.txt=existing",
     "error: a.txt: incorrect password, skipped\nerror: b.txt: incorrect password, skipped\n",
     "a.txt: Enter password\na.txt: Incorrect password, try again\na.txt: Incorrect password, try again\n"
     "b.txt: Enter password\nb.txt: Incorrect password, try again\nb.txt: Incorrect password, try again\n"},
    {"RefusalSkipsTheEntry", {std::nullopt, "secret"}, nullptr, UZ_ERR_PASSWORD, "a.txt=existing b.txt=second",
     "error: a.txt: no password given, skipped\nDone: 1 extracted, 0 skipped, 1 failed (a.txt: no password given)\n",
     "a.txt: Enter password\nb.txt: Enter password\n"},
    // 256 bytes of "x" and no NUL: read within its size, so just a wrong password.
    {"UnterminatedBuffer", {"x", std::nullopt}, [](Harness &h) { h.options.TestZip = 1; h.fillPasswordBuffer = true; },
     UZ_ERR_PASSWORD, "", "warning: a.txt: incorrect password\nerror: a.txt: no password given, skipped\n"
     "error: b.txt: no password given, skipped\nDone: 0 tested OK, 0 skipped, 2 failed (a.txt: no password given)\n", "a.txt: Enter password\na.txt: Incorrect password, try again\nb.txt: Enter password\n"},
};

INSTANTIATE_TEST_SUITE_P(Ciphers, Passwords,
                         ::testing::Combine(::testing::Values(Cipher::Traditional, Cipher::Aes),
                                            ::testing::ValuesIn(kRows)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param) == Cipher::Traditional ? "Traditional"
                                                                                               : "Aes") +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
