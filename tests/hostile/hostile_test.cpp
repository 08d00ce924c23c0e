// The hostile-archive set. Each row of cases.txt names an archive that make_hostile.py writes
// byte by byte and says what it must give. The archive is extracted into a fresh destination
// beside a folder "outside", through the engine's C interface and again through the binding
// the program uses, and listed and tested. Every extraction keeps what every case shares:
// nothing written outside the destination or beside the archives, no link leading out, no
// temporary file left, the user's files outside untouched.
#include "Mount.h"
#include "TreeCheck.h"
#include "UnzipHarness.h"
#include "cUnzip.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

using Answers = std::deque<std::optional<std::string>>;

// A row of cases.txt (its header says what each column holds).
struct Case {
    std::string name = {}, setup = {}, says = {}, tree = {};
    int32_t expected = UZ_OK;
    Answers passwords = {};
    bool Has(const char *word) const { return setup.find(word) != std::string::npos; }
};

// A column's text: "-" is none, "\n" and "\xNN" the bytes they stand for.
std::string Column(std::string text) {
    if (text == "-") return "";
    for (size_t at = 0; (at = text.find('\\', at)) != std::string::npos; ++at) {
        if (text[at + 1] == 'n')
            text.replace(at, 2, "\n");
        else if (text[at + 1] == 'x')
            text.replace(at, 4, 1, static_cast<char>(std::stoi(text.substr(at + 2, 2), 0, 16)));
    }
    return text;
}

// text as a pattern of cases.txt gives it: whole, or only its end after "...", or only its
// start before "...".
bool Matches(const std::string &text, const std::string &pattern) {
    if (pattern.starts_with("...")) return text.ends_with(pattern.substr(3));
    if (pattern.ends_with("...")) return text.starts_with(pattern.substr(0, pattern.size() - 3));
    return text == pattern;
}

std::vector<Case> ReadCases() {
    const std::map<std::string, int32_t> results = {
        {"UZ_OK", UZ_OK}, {"UZ_WARNING", UZ_WARNING}, {"UZ_ERR_OPEN", UZ_ERR_OPEN},
        {"UZ_ERR_PASSWORD", UZ_ERR_PASSWORD}, {"UZ_ERR_WRITE", UZ_ERR_WRITE},
        {"UZ_ERR_BADZIP", UZ_ERR_BADZIP}};
    std::vector<Case> cases;
    for (std::vector<std::string> c : testsupport::ReadTable(HOSTILE_CASES, "|")) {
        if (c[0].starts_with("archive ")) continue;
        std::ranges::transform(c, c.begin(), Column);
        cases.push_back({c.at(0), c.at(2), c.at(4), c.at(5), results.at(c.at(1))});
        for (const std::string &a : testsupport::Split(c.at(3), " "))
            if (!a.empty()) cases.back().passwords.push_back(a == "!" ? Answers::value_type() : a);
    }
    return cases;
}

// The archives are written the first time a test asks for one: a test process under ctest
// needs a single case.
const TempDir &Archives() {
    static const TempDir archives;
    return archives;
}

std::string Archive(const std::string &name) {
    const std::string file = Archives() / (name + ".zip");
    if (!fs::exists(file)) {
        const auto made =
            testsupport::Run(testsupport::Python() + " " + ShellQuote(HOSTILE_SCRIPT) + " " +
                             ShellQuote(Archives().path()) + " " + ShellQuote(name));
        EXPECT_EQ(made.exitCode, 0) << made.output;
    }
    return file;
}

// Runs extract (given the destination) with tmp/dest prepared beside tmp/outside as the
// case says, then checks what every case keeps and the tree the case expects. Returns
// extract's result.
int32_t Contained(const TempDir &tmp, const Case &c,
                  const std::function<int32_t(const std::string &)> &extract) {
    const std::string dest = tmp / "dest", outside = tmp / "outside";
    WriteFile(outside + "/victim.txt", "victim");
    WriteFile(outside + "/hard.txt", "hard");
    fs::create_directories(dest);
    if (c.Has("victim")) WriteFile(dest + "/victim.txt", "mine");
    if (c.Has("links")) {
        fs::create_directory_symlink("../outside", dest + "/data");
        fs::create_symlink("../outside/victim.txt", dest + "/link.txt");
        fs::create_hard_link(outside + "/hard.txt", dest + "/hard.txt");
    }
    const std::string archivesBefore = treecheck::Listing(Archives().path());
    const int32_t result = extract(dest);
    EXPECT_EQ(treecheck::Listing(tmp.path()), "dest/outside");
    EXPECT_EQ(treecheck::DescribeTree(outside), "hard.txt -> hard\nvictim.txt -> victim\n");
    EXPECT_EQ(treecheck::Listing(Archives().path()), archivesBefore);
    EXPECT_TRUE(treecheck::TreeStaysInside(dest, "data"));
    const std::string tree = treecheck::DescribeTree(dest);
    EXPECT_EQ(tree.find(".tesk-"), std::string::npos);
    EXPECT_TRUE(Matches(tree, c.tree)) << tree.substr(std::max<size_t>(tree.size(), 2000) - 2000);
    return result;
}

// Through the engine's C interface, replacing existing files, never stopped (no entry is
// named "\x01").
int32_t ExtractContained(const TempDir &tmp, const std::string &archive, const Case &c,
                         unziptest::Harness &h) {
    h.options.OverwriteExisting = 1;
    h.options.MessageLevel = 2;
    h.options.TestZip = c.Has("test-only");
    h.passwords = c.passwords;
    h.stopAt = "\x01";
    return Contained(tmp, c, [&](const std::string &dest) { return h.Extract(archive, dest); });
}

// Answers the binding's password prompts in turn; a refusal, or no answer left, cancels.
struct Listener : cUnzipEvents {
    Answers passwords;
    void PasswordRequest(std::string &password, bool &cancel) override {
        const auto answer = passwords.empty() ? Answers::value_type() : passwords.front();
        if (!passwords.empty()) passwords.pop_front();
        if (answer) password = *answer;
        cancel = cancel || !answer;
    }
};

class Hostile : public ::testing::TestWithParam<Case> {};

TEST_P(Hostile, SameOutcomeEverywhereAndContained) {
    const Case &c = GetParam();
    const std::string archive = Archive(c.name);
    TempDir tmp;
    std::optional<testsupport::Mount> smallDisk;
    if (c.Has("small-disk")) {
        fs::create_directories(tmp / "dest");
        smallDisk.emplace(tmp / "dest", 4 << 20);
        if (!smallDisk->ok()) GTEST_SKIP() << "needs root to mount a small tmpfs";
        WriteFile(tmp / "dest/fill7.bin", "mine");
    }
    unziptest::Harness h;
    EXPECT_EQ(ExtractContained(tmp, archive, c, h), c.expected) << h.AllMessages();
    const auto said = [&](const std::string &m) { return Matches(m, c.says); };
    EXPECT_TRUE(c.says.empty() || std::ranges::any_of(h.messages, said)) << h.AllMessages();
    smallDisk.reset();
    treecheck::RemoveTree(tmp / "dest");  // deep trees are beyond a path-based removal

    // Listing and testing see what extraction sees: an archive that cannot be opened for one
    // cannot be opened for any, and an entry that fails extraction as damaged fails its test.
    unziptest::Harness list, test;
    EXPECT_EQ(list.List(archive) == UZ_ERR_OPEN, c.expected == UZ_ERR_OPEN) << list.AllMessages();
    if (c.Has("once")) return;
    test.options.TestZip = 1;
    test.passwords = c.passwords;
    const int32_t tested = test.Extract(archive, "");
    if (c.expected == UZ_ERR_OPEN || c.expected == UZ_ERR_BADZIP) {
        EXPECT_EQ(tested, c.expected) << test.AllMessages();
    }

    // The summary names the first entry that failed and why, as its error line did, and every
    // prompt that comes again for a password is preceded by a line naming the refused one.
    std::string firstError, summary;
    size_t refusals = 0, askedAgain = 0;
    for (const std::string &m : test.messages) {
        if (firstError.empty() && m.starts_with("error: ") && m.find(": ", 7) != std::string::npos)
            firstError = m.substr(7, m.ends_with(", skipped") ? m.size() - 16 : std::string::npos);
        if (m.starts_with("Done: ")) summary = m;
        refusals += m.ends_with(": incorrect password");
    }
    const bool named = summary.find(" failed (" + firstError + ")") != std::string::npos;
    EXPECT_TRUE(summary.empty() || named == !firstError.empty()) << test.AllMessages();
    for (const auto &q : test.passwordQueries) askedAgain += q.prompt != "Enter password";
    EXPECT_EQ(refusals, askedAgain) << test.AllMessages();

    // The binding lists the archive, extracts all, answers the password prompts, and reports
    // the engine's result as its own.
    cUnzip unzip;
    Listener listener;
    listener.passwords = c.passwords;
    unzip.SetListener(&listener);
    unzip.UseFolderNames(true);
    unzip.OverwriteExisting(true);
    const int32_t result = Contained(tmp, c, [&](const std::string &dest) {
        unzip.ZipFile(archive);
        unzip.Directory();
        unzip.UnzipFolder(dest);
        EXPECT_EQ(unzip.Unzip(), c.expected != UZ_OK);
        return unzip.LastResult();
    });
    EXPECT_EQ(result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Set, Hostile, ::testing::ValuesIn(ReadCases()), [](const auto &info) {
    std::string name = info.param.name + "_" + std::to_string(info.index);
    std::ranges::replace(name, '-', '_');
    return name;
});

// A destination that cannot be made or entered fails at once, with the system's cause.
TEST(HostileDestination, UnusableNamesItsCause) {
    TempDir tmp;
    fs::create_symlink("a", tmp / "a");
    WriteFile(tmp / "file", "x");
    fs::create_directories(tmp / "ro");
    const testsupport::Mount readOnly(tmp / "ro");
    const std::pair<std::string, std::string> rows[] = {
        {"a/dest", "Too many levels of symbolic links"}, {"file/dest", "Not a directory"},
        {"ro/new/dest", "Read-only file system"}};
    for (const auto &[dest, cause] : rows) {
        if (dest.starts_with("ro/") && !readOnly.ok()) GTEST_SKIP() << "needs root to mount";
        unziptest::Harness h;
        EXPECT_EQ(h.Extract(Archive("name-case"), tmp / dest), UZ_ERR_WRITE) << dest;
        EXPECT_NE(h.AllMessages().find(": " + cause), std::string::npos) << h.AllMessages();
    }
}

// Damaged copies of one archive: cut short at many points, or with a piece taken out of the
// middle (the end record kept). Every one fails, and the file its first entry would replace stays.
TEST(HostileFiles, DamagedCopiesFailAndKeepTheUsersFile) {
    const std::string whole = testsupport::ReadFile(Archive("damaged")),
                      copy = Archives() / "copy.zip";
    const size_t step = whole.size() / 40;
    std::vector<std::string> copies;
    for (size_t at = 1; at < whole.size(); at += step) copies.push_back(whole.substr(0, at));
    for (size_t end : {1, 21, 22}) copies.push_back(whole.substr(0, whole.size() - end));
    for (size_t at = 0; at + 22 < whole.size(); at += step)
        copies.push_back(whole.substr(0, at) + whole.substr(at + 17));
    for (size_t i = 0; i < copies.size(); ++i) {
        WriteFile(copy, copies[i]);
        TempDir tmp;
        unziptest::Harness h;
        const int32_t result = ExtractContained(tmp, copy, {.setup = "victim", .tree = "..."}, h);
        EXPECT_TRUE(result == UZ_ERR_BADZIP || result == UZ_ERR_OPEN) << i << ": " << result;
        EXPECT_EQ(testsupport::ReadFile(tmp / "dest/victim.txt"), "mine") << "copy " << i;
    }
}

// Inputs with which fuzzing once found a fault: listed, tested and extracted like any
// archive, they must give a result code and stay contained.
TEST(HostileFiles, FuzzFindingsStayFixed) {
    EXPECT_FALSE(fs::is_empty(FUZZ_REGRESSIONS));
    for (const auto &file : fs::directory_iterator(FUZZ_REGRESSIONS)) {
        SCOPED_TRACE(file.path().filename());
        unziptest::Harness list, test, h;
        const int32_t listed = list.List(file.path());
        EXPECT_TRUE(listed == UZ_OK || listed == UZ_ERR_OPEN) << listed;
        test.options.TestZip = 1;
        EXPECT_LE(test.Extract(file.path(), ""), UZ_ERR_MEMORY);
        TempDir tmp;
        EXPECT_LE(ExtractContained(tmp, file.path(), {.tree = "..."}, h), UZ_ERR_MEMORY);
        treecheck::RemoveTree(tmp / "dest");
    }
}

}  // namespace
