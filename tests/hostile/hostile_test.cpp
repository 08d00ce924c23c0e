// The hostile-archive set. Each case extracts one archive of make_hostile.py into a fresh
// destination beside a folder "outside" and checks the outcome every case shares: nothing
// written outside the destination, no link leading out of it, no temporary file left,
// the user's files untouched; then the case's own result code and the exact tree left.
#include "Mount.h"
#include "TreeCheck.h"
#include "UnzipHarness.h"
#include "cUnzip.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const char kOutside[] = "hard.txt -> hard\nvictim.txt -> victim\n";

// What the destination holds before the run.
enum Setup : unsigned {
    kNothing = 0,
    kVictim = 1,         // victim.txt: "mine"
    kExistingLinks = 2,  // data -> ../outside, link.txt -> ../outside/victim.txt, and
                         // hard.txt, a hard link of outside/hard.txt
    kTestOnly = 4,       // too big to write: the archive is tested, not extracted
};

struct Case {
    const char *name;     // the archive, without ".zip"
    int32_t expected;     // result code
    const char *tree;     // the destination afterwards, as treecheck::DescribeTree shows it
    unsigned setup = kNothing;
    std::vector<std::string> passwords = {};  // "" refuses; "@impostor" from impostor.txt
    const char *says = nullptr;  // a message the run must send, when given
};

std::ostream &operator<<(std::ostream &out, const Case &c) { return out << c.name; }

class Hostile : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() { archives_ = std::make_unique<TempDir>(); }
    static void TearDownTestSuite() { archives_.reset(); }

    // Writes the cases' archives that are not there yet ("damaged": the damaged copies).
    // Each test process makes only what it uses: the whole set takes a second.
    static void Need(const std::vector<std::string> &cases) {
        std::string missing;
        for (const std::string &name : cases)
            if (!fs::exists(*archives_ / (name == "damaged" ? "truncated-00.zip" : name + ".zip")))
                missing += " " + ShellQuote(name);
        if (missing.empty()) return;
        const auto made = testsupport::Run(testsupport::Python() + " " + ShellQuote(HOSTILE_SCRIPT) + " " +
                                           ShellQuote(archives_->path()) + missing);
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }
    static std::string Archive(const std::string &name) {
        Need({name});
        return *archives_ / (name + ".zip");
    }
    static std::string Impostor() {
        Need({"pw-impostor"});
        return ReadFile(*archives_ / "impostor.txt");
    }

    // Runs extract (given tmp/dest) with tmp/dest prepared beside tmp/outside, then checks
    // what every case must keep. Returns extract's result.
    int32_t Contained(const TempDir &tmp, const Case &c,
                      const std::function<int32_t(const std::string &)> &extract) {
        const std::string dest = tmp / "dest", outside = tmp / "outside";
        WriteFile(outside + "/victim.txt", "victim");
        WriteFile(outside + "/hard.txt", "hard");
        fs::create_directories(dest);
        if (c.setup & kVictim) WriteFile(dest + "/victim.txt", "mine");
        if (c.setup & kExistingLinks) {
            fs::create_directory_symlink("../outside", dest + "/data");
            fs::create_symlink("../outside/victim.txt", dest + "/link.txt");
            fs::create_hard_link(outside + "/hard.txt", dest + "/hard.txt");
        }
        const std::string archivesBefore = treecheck::Listing(archives_->path());
        const int32_t result = extract(dest);
        EXPECT_EQ(treecheck::Listing(tmp.path()), "dest/outside");
        EXPECT_EQ(treecheck::DescribeTree(outside), kOutside);
        EXPECT_EQ(treecheck::Listing(archives_->path()), archivesBefore);
        EXPECT_TRUE(treecheck::TreeStaysInside(dest, "data"));
        const std::string tree = treecheck::DescribeTree(dest);
        EXPECT_EQ(tree.find(".tesk-"), std::string::npos) << tree;
        if (c.setup & kVictim) {
            EXPECT_NE(tree.find("victim.txt -> "), std::string::npos);
        }
        return result;
    }

    // The passwords of a case, as the harness answers them.
    static std::deque<std::optional<std::string>> Passwords(const Case &c) {
        std::deque<std::optional<std::string>> answers;
        for (const std::string &p : c.passwords) {
            if (p.empty())
                answers.push_back(std::nullopt);
            else
                answers.push_back(p == "@impostor" ? Impostor() : p);
        }
        return answers;
    }

    // Extracts through the engine's C interface, replacing existing files.
    int32_t ExtractContained(const TempDir &tmp, const std::string &archive, const Case &c,
                             unziptest::Harness &h) {
        return Contained(tmp, c, [&](const std::string &dest) {
            h.options.OverwriteExisting = 1;
            h.options.MessageLevel = 2;
            h.passwords = Passwords(c);
            h.stopAt = "\x01";  // no entry is named so: the run is never stopped
            h.options.TestZip = (c.setup & kTestOnly) != 0;
            return h.Extract(archive, dest);
        });
    }

    static std::unique_ptr<TempDir> archives_;
};

std::unique_ptr<TempDir> Hostile::archives_;

TEST_P(Hostile, ContainedWithTheExpectedOutcome) {
    const Case &c = GetParam();
    TempDir tmp;
    unziptest::Harness h;
    EXPECT_EQ(ExtractContained(tmp, Archive(c.name), c, h), c.expected) << h.AllMessages();
    if (c.says) EXPECT_TRUE(h.HasMessage(c.says)) << h.AllMessages();
    const std::string tree = treecheck::DescribeTree(tmp / "dest");
    const std::string expected = c.tree;
    if (expected.rfind("...", 0) == 0) {  // only the end is given
        EXPECT_TRUE(tree.size() >= expected.size() - 3 &&
                    tree.compare(tree.size() - (expected.size() - 3), std::string::npos, expected, 3) == 0)
            << tree.substr(tree.size() > 200 ? tree.size() - 200 : 0);
    } else {
        EXPECT_EQ(tree, expected) << h.AllMessages();
    }
    treecheck::RemoveTree(tmp / "dest");  // deep trees are beyond a path-based removal
}

const Case kCases[] = {
    // Traversal: every escaping name is skipped with a warning, the rest extracted.
    {"trav-parent", UZ_WARNING, "good.txt -> good\n", kNothing, {},
     "warning: docs/../../deep.txt: parent folder reference (..), skipped"},
    {"trav-absolute", UZ_WARNING, "good.txt -> good\n"},
    {"trav-drive", UZ_WARNING, "good.txt -> good\n", kNothing, {}, "warning: C:\\drive.txt: drive letter, skipped"},
    {"trav-backslash", UZ_WARNING, "good.txt -> good\n", kNothing, {},
     "warning: ..\\back.txt: parent folder reference (..), skipped"},
    {"trav-unicode-field", UZ_WARNING, "caf\u00e9-field.txt -> benign\ngood.txt -> good\n"},
    // Links: those leading out are skipped, nothing is written through one, chains and
    // loops inside stay as they are.
    {"link-out", UZ_WARNING, "docs/\ndocs/ok -> @../good.txt\ngood.txt -> good\n", kNothing, {},
     "warning: docs/sneaky: link target sub/../.. leaves the destination, skipped"},
    {"link-write-through", UZ_WARNING,
     "alias -> @docs\ndocs/\ndocs/a.txt -> alpha\nup/\nup/pwned.txt -> pwned\n", kNothing, {},
     "warning: alias/through.txt: path passes through a symbolic link, skipped"},
    {"link-chain", UZ_WARNING,
     "c1 -> @c2\nc2 -> @c1\nl2 -> @sub/l3\nsub/\nsub/l1 -> @../l2\nsub/l3/\nsub/l3/x.txt -> x\n"},
    // A link to a folder outside is never passed through; an existing link or hard link is
    // replaced as a name, never written through.
    {"existing-links", UZ_WARNING, "data -> @../outside\nhard.txt -> new\nlink.txt -> new\n",
     kExistingLinks},
    // Names: control characters become "_"; a part too long for the system fails alone; a
    // path longer than the system's path limit is made part by part; duplicates never
    // replace the first; case variants and odd but legal names come out exactly.
    {"name-controls", UZ_OK, "ctl___.txt -> 2\nnl_name.txt -> 4\nnul_name.txt -> 1\ntab_name.txt -> 3\n"},
    {"name-long-part", UZ_ERR_WRITE, "good.txt -> good\n"},
    {"name-long-path", UZ_OK, ".../deep.txt -> deep\n"},
    {"name-duplicate", UZ_WARNING, "a.txt -> first\n"},
    {"name-case", UZ_OK,
     "Dir/\nDir/x -> 4\nREADME.txt -> 2\nReadme.txt -> 1\ndir/\ndir/x -> 5\nreadme.TXT -> 3\n"},
    {"name-odd-legal", UZ_OK,
     " lead space.txt -> 2\n-dash.txt -> 1\n... -> 3\n..foo -> 4\n.hidden -> 5\na/\na/b.txt -> 9\n"
     "a\\b.txt -> 6\ncaf\u00e9.txt -> 10\ndot/\ndot/x.txt -> 8\nfolder/\n\u00fcn\u00ef \u2713.txt -> 7\n"},
    {"name-unflagged", UZ_OK, "dos\u00e9.txt -> 3\nkoi8-\xd0\xd2\xc9.txt -> 1\nna\u00efve.txt -> 2\n"},
    {"name-empty", UZ_WARNING, "good.txt -> good\n"},
    // Bombs: overlapping entries are refused, sizes beyond the free space fail before any
    // write, data running past its declared size stops there and leaves nothing.
    {"bomb-overlap", UZ_ERR_BADZIP, "fine.txt -> fine\n", kNothing, {},
     "error: outer.txt: entry overlaps another entry"},
    {"bomb-huge-size", UZ_ERR_WRITE, "good.txt -> good\n"},
    {"bomb-lying-size", UZ_ERR_BADZIP, "good.txt -> good\n"},
    {"bomb-many", UZ_OK, "...\nm/04999 -> 4999\n"},
    // Corruption: the damaged entry fails, the user's file it would replace stays.
    {"corrupt-crc", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim},
    {"corrupt-data", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim},
    {"corrupt-method", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim},
    {"corrupt-mismatch", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim, {},
     "error: victim.txt: local header disagrees with the central directory"},
    {"corrupt-zip64-short", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-zip64-offset", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim},
    {"corrupt-zip64-end", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-zip64-locator", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-cd-count", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-cd-offset", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-cd-size", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-cd-count-short", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    {"corrupt-aes-field", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim, {},
     "error: victim.txt: CRC mismatch"},
    {"fifo", UZ_ERR_OPEN, "victim.txt -> mine\n", kVictim},
    // Read as other readers read them.
    {"corrupt-comment", UZ_OK, "good.txt -> good\n"},
    {"read-zip64-end", UZ_OK, "good.txt -> good\n"},
    {"read-decoy-end", UZ_OK, "good.txt -> good\ninner.zip -> 121 bytes\n"},
    {"read-dos-folder", UZ_OK, "def/\ndef/foo -> foo\n"},
    {"read-unicode-path", UZ_OK, "r\u00e9sum\u00e9-ansi.txt -> ansi\nr\u00e9sum\u00e9.txt -> cv\n"},
    {"read-dot-entries", UZ_OK, "a.txt -> a\n"},
    {"read-size-over-4gib", UZ_OK, "", kTestOnly, {},
     "warning: big.bin: 4 GiB longer than recorded (a size kept in 32 bits), CRC correct"},
    // Passwords: wrong, refused, or wrong but passing the check byte: nothing replaced.
    {"pw-protected", UZ_ERR_PASSWORD, "victim.txt -> mine\n", kVictim, {"wrong", "worse", "worst"}},
    {"pw-protected", UZ_ERR_PASSWORD, "victim.txt -> mine\n", kVictim, {""}},
    {"pw-impostor", UZ_ERR_PASSWORD, "victim.txt -> mine\n", kVictim, {"@impostor", ""}},
    {"pw-impostor", UZ_OK, "victim.txt -> stored secret text\n", kVictim, {"@impostor", "secret"}},
    {"pw-aes-code", UZ_ERR_BADZIP, "victim.txt -> mine\n", kVictim, {"Secret1"},
     "error: victim.txt: authentication failed (damaged data)"},
    {"pw-aes-data", UZ_ERR_BADZIP, "victim.txt -> mine\n", kVictim, {"Secret1"},
     "error: victim.txt: authentication failed (damaged data)"},
    {"pw-aes-short", UZ_ERR_BADZIP, "victim.txt -> mine\n", kVictim, {},
     "error: victim.txt: corrupt data (encrypted data too short)"},
    // An encryption that cannot be decoded fails without a password prompt (the harness
    // would answer "x" and the result be a password error).
    {"pw-strong", UZ_ERR_BADZIP, "good.txt -> good\nvictim.txt -> mine\n", kVictim, {"x"}},
    {"pw-protected", UZ_OK, "stored.txt -> stored secret text\nvictim.txt -> 2200 bytes\n", kVictim,
     {"secret"}},
};

INSTANTIATE_TEST_SUITE_P(Set, Hostile, ::testing::ValuesIn(kCases), [](const auto &info) {
    std::string name = info.param.name;
    for (char &ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name + "_" + std::to_string(info.index);
});

// The same archives through the binding the program uses: it lists them, extracts all,
// answers the password prompt, and reports the engine's result as its own.
class BindingListener : public cUnzipEvents {
public:
    std::deque<std::optional<std::string>> passwords;
    void PasswordRequest(std::string &sPassword, bool &bCancel) override {
        if (passwords.empty() || !passwords.front())
            bCancel = true;
        else
            sPassword = *passwords.front();
        if (!passwords.empty()) passwords.pop_front();
    }
};

TEST_F(Hostile, ThroughTheBindingTheSameOutcome) {
    std::vector<std::string> all;
    for (const Case &c : kCases) all.push_back(c.name);
    Need(all);
    for (const Case &c : kCases) {
        if (std::string(c.name) == "name-long-path" || std::string(c.name) == "bomb-many" ||
            (c.setup & kTestOnly))
            continue;
        SCOPED_TRACE(c.name);
        TempDir tmp;
        unziptest::Harness direct;
        const int32_t expected = ExtractContained(tmp, Archive(c.name), c, direct);
        treecheck::RemoveTree(tmp / "dest");
        treecheck::RemoveTree(tmp / "outside");
        const std::string expectedTree = c.tree;
        cUnzip unzip;
        BindingListener listener;
        listener.passwords = Passwords(c);
        unzip.SetListener(&listener);
        unzip.UseFolderNames(true);
        unzip.OverwriteExisting(true);
        const int32_t result = Contained(tmp, c, [&](const std::string &dest) {
            unzip.ZipFile(Archive(c.name));
            unzip.Directory();
            unzip.UnzipFolder(dest);
            EXPECT_EQ(unzip.Unzip(), expected != UZ_OK);
            return unzip.LastResult();
        });
        EXPECT_EQ(result, expected);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(treecheck::DescribeTree(tmp / "dest"), expectedTree);
    }
}

// The summary names the first entry that failed and why, as its error line did, and every
// prompt that comes again for a password is preceded by a line naming the refused one.
void ExpectFailuresNamed(const unziptest::Harness &h) {
    std::string firstError, summary;
    size_t refusals = 0;
    for (const std::string &m : h.messages) {
        if (firstError.empty() && m.rfind("error: ", 0) == 0 && m.find(": ", 7) != std::string::npos)
            firstError = m.substr(7, m.rfind(", skipped") == m.size() - 9 ? m.size() - 16 : std::string::npos);
        if (m.rfind("Done: ", 0) == 0) summary = m;
        if (m.size() > 20 && m.compare(m.size() - 20, 20, ": incorrect password") == 0) ++refusals;
    }
    if (!summary.empty())
        EXPECT_EQ(summary.find(" failed (" + firstError + ")") != std::string::npos, !firstError.empty())
            << h.AllMessages();
    size_t askedAgain = 0;
    for (const auto &q : h.passwordQueries) askedAgain += q.prompt != "Enter password";
    EXPECT_EQ(refusals, askedAgain) << h.AllMessages();
}

// Listing and testing see the archive extraction sees: an archive that cannot be opened
// for one cannot be opened for any, and an entry that fails extraction as damaged fails
// its test too.
TEST_F(Hostile, ListingTestingAndExtractionAgree) {
    std::vector<std::string> all;
    for (const Case &c : kCases) all.push_back(c.name);
    Need(all);
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        unziptest::Harness list;
        const int32_t listed = list.List(Archive(c.name));
        EXPECT_EQ(listed == UZ_ERR_OPEN, c.expected == UZ_ERR_OPEN) << list.AllMessages();
        if (std::string(c.name) == "bomb-many" || std::string(c.name) == "name-long-path" ||
            (c.setup & kTestOnly))
            continue;
        unziptest::Harness test;
        test.options.TestZip = 1;
        test.passwords = Passwords(c);
        const int32_t tested = test.Extract(Archive(c.name), "");
        if (c.expected == UZ_ERR_OPEN || c.expected == UZ_ERR_BADZIP)
            EXPECT_EQ(tested, c.expected) << test.AllMessages();
        ExpectFailuresNamed(test);
    }
}

// A destination that cannot be made or entered fails at once, with the system's cause.
TEST_F(Hostile, UnusableDestinationNamesItsCause) {
    struct Row {
        const char *name;
        std::function<std::string(const TempDir &)> prepare;  // gives the destination
        const char *cause;
    };
    const Row rows[] = {
        {"symlink loop",
         [](const TempDir &tmp) {
             fs::create_symlink("b", tmp / "a");
             fs::create_symlink("a", tmp / "b");
             return tmp / "a/dest";
         },
         "Too many levels of symbolic links"},
        {"a file in the way",
         [](const TempDir &tmp) {
             WriteFile(tmp / "file", "x");
             return tmp / "file/dest";
         },
         "Not a directory"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp;
        unziptest::Harness h;
        const std::string dest = row.prepare(tmp);
        EXPECT_EQ(h.Extract(Archive("name-case"), dest), UZ_ERR_WRITE);
        EXPECT_NE(h.AllMessages().find(std::string(": ") + row.cause), std::string::npos)
            << h.AllMessages();
    }
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a read-only mount";
    TempDir tmp;
    fs::create_directories(tmp / "ro");
    testsupport::Mount readOnly(tmp / "ro");
    if (!readOnly.ok()) GTEST_SKIP() << "cannot mount here";
    unziptest::Harness h;
    EXPECT_EQ(h.Extract(Archive("name-case"), tmp / "ro/new/dest"), UZ_ERR_WRITE);
    EXPECT_NE(h.AllMessages().find(": Read-only file system"), std::string::npos) << h.AllMessages();
}

// Damaged copies of one archive: cut short at many points, or with a piece taken out of
// the middle. Every one fails, and the file its first entry would replace stays.
TEST_F(Hostile, DamagedCopiesFailAndKeepTheUsersFile) {
    Need({"damaged"});
    int copies = 0;
    for (const auto &file : fs::directory_iterator(archives_->path())) {
        const std::string name = file.path().filename();
        if (name.rfind("truncated-", 0) != 0 && name.rfind("holed-", 0) != 0) continue;
        ++copies;
        TempDir tmp;
        unziptest::Harness h;
        const Case c{name.c_str(), UZ_ERR_BADZIP, nullptr, kVictim};
        const int32_t result = ExtractContained(tmp, file.path(), c, h);
        EXPECT_TRUE(result == UZ_ERR_BADZIP || result == UZ_ERR_OPEN) << name << ": " << result;
        EXPECT_EQ(ReadFile(tmp / "dest/victim.txt"), "mine") << name;
    }
    EXPECT_GT(copies, 60);
}

// Inputs with which fuzzing once found a fault: listed, tested and extracted like any
// archive, they must give a result code and stay contained.
TEST_F(Hostile, FuzzFindingsStayFixed) {
    int findings = 0;
    for (const auto &file : fs::directory_iterator(FUZZ_REGRESSIONS)) {
        ++findings;
        const std::string name = file.path().filename();
        unziptest::Harness list;
        const int32_t listed = list.List(file.path());
        EXPECT_TRUE(listed == UZ_OK || listed == UZ_ERR_OPEN) << name << ": " << listed;
        unziptest::Harness test;
        test.options.TestZip = 1;
        EXPECT_LE(test.Extract(file.path(), ""), UZ_ERR_MEMORY) << name;
        TempDir tmp;
        unziptest::Harness h;
        const Case c{name.c_str(), UZ_OK, nullptr};
        EXPECT_LE(ExtractContained(tmp, file.path(), c, h), UZ_ERR_MEMORY) << name;
        treecheck::RemoveTree(tmp / "dest");
    }
    EXPECT_GT(findings, 0);
}

// A destination on a small file system: an entry bigger than the free space fails before
// anything is written; entries that fill it up fail at the first write that does not fit
// and leave no partial file, and the user's file that one of them would replace stays.
TEST_F(Hostile, DiskFilledByEntriesFailsCleanly) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small tmpfs";
    for (const char *name : {"bomb-fill", "bomb-fill-small"}) {
        TempDir tmp;
        fs::create_directories(tmp / "dest");
        testsupport::Mount small(tmp / "dest", 4 << 20);
        if (!small.ok()) GTEST_SKIP() << "cannot mount a tmpfs here";
        WriteFile(tmp / "dest/fill7.bin", "mine");  // the last entry would replace it
        unziptest::Harness h;
        const Case c{name, UZ_ERR_WRITE, nullptr};
        EXPECT_EQ(ExtractContained(tmp, Archive(name), c, h), UZ_ERR_WRITE) << h.AllMessages();
        const std::string tree = treecheck::DescribeTree(tmp / "dest");
        if (std::string(name) == "bomb-fill") {
            EXPECT_EQ(tree, "fill7.bin -> mine\n");
            EXPECT_NE(h.AllMessages().find("not enough disk space"), std::string::npos);
        } else {
            // Complete files only, as many as fit whole, and the user's file.
            EXPECT_EQ(tree, "fill0.bin -> 921600 bytes\nfill1.bin -> 921600 bytes\n"
                            "fill2.bin -> 921600 bytes\nfill3.bin -> 921600 bytes\nfill7.bin -> mine\n");
            EXPECT_NE(h.AllMessages().find("No space left on device"), std::string::npos);
        }
    }
}

}  // namespace
