// The cases of cases.txt: an archive made at test time, the options of one engine call, and
// the result, tree, messages and questions it gives; and its peer rows: archives that other
// archivers make of a source tree, which must extract byte for byte and list as extracted.
#include "Mount.h"
#include "TreeCheck.h"
#include "UnzipHarness.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

using namespace unziptest;
using testsupport::ReadFile;
using testsupport::Run;
using testsupport::ShellQuote;
using testsupport::Split;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::map<std::string, int32_t> kCodes = {
    {"UZ_OK", UZ_OK}, {"UZ_WARNING", UZ_WARNING}, {"UZ_ERR_NOMATCH", UZ_ERR_NOMATCH},
    {"UZ_ERR_PASSWORD", UZ_ERR_PASSWORD}, {"UZ_ERR_ABORT", UZ_ERR_ABORT},
    {"UZ_ERR_BADZIP", UZ_ERR_BADZIP}, {"UZ_ERR_WRITE", UZ_ERR_WRITE},
    {"UZ_ERR_OPEN", UZ_ERR_OPEN}, {"UZ_ERR_PARAM", UZ_ERR_PARAM},
    {"UZ_REPLACE_NO", UZ_REPLACE_NO}, {"UZ_REPLACE_YES", UZ_REPLACE_YES},
    {"UZ_REPLACE_ALL", UZ_REPLACE_ALL}, {"UZ_REPLACE_NONE", UZ_REPLACE_NONE}};

const std::map<std::string, int32_t UnzipOptions::*> kFields = {
    {"ExtractOnlyNewer", &UnzipOptions::ExtractOnlyNewer}, {"TestZip", &UnzipOptions::TestZip},
    {"SpaceToUnderScore", &UnzipOptions::SpaceToUnderScore}, {"ListOnly", &UnzipOptions::ListOnly},
    {"PromptToOverwrite", &UnzipOptions::PromptToOverwrite},
    {"MessageLevel", &UnzipOptions::MessageLevel},
    {"UseFolderNames", &UnzipOptions::UseFolderNames},
    {"OverwriteExisting", &UnzipOptions::OverwriteExisting},
    {"ConvertCRToCRLF", &UnzipOptions::ConvertCRToCRLF},
    {"CaseSensitiveFileNames", &UnzipOptions::CaseSensitiveFileNames}};

struct Case {
    std::string name, make;  // make: the python that writes the archive at PATH
    std::vector<std::pair<std::string, std::string>> items;  // settings and expectations
    std::string peer;  // for a peer row, its columns after the name
};

void PrintTo(const Case &c, std::ostream *out) { *out << c.name; }

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// A value may be quoted to keep its spaces, and takes \n, \r, \\ and \xHH.
std::string Unescape(std::string text) {
    if (text.size() > 1 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
        } else if (text[++i] == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i];
        }
    }
    return out;
}

std::vector<Case> LoadCases() {
    std::ifstream in(UNZIP_TEST_DIR "/cases.txt");
    std::map<std::string, std::string> archives;
    std::string *statement = nullptr;
    std::vector<Case> cases;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key, name, rest;
        words >> key >> name >> std::ws;
        std::getline(words, rest);
        if (line.empty() || line[0] == '#')
            continue;
        else if (line.rfind("    ", 0) == 0)  // continues an archive's statement
            *statement += line.substr(4) + "\n";
        else if (key == "archive")
            statement = &archives[name];
        else if (key == "case")
            cases.push_back({name, archives.at(rest), {}, ""});
        else if (key == "peer")
            cases.push_back({name, "", {}, rest});
        else
            cases.back().items.emplace_back(key, Unescape(line.substr(key.size() + 1)));
    }
    return cases;
}

// The lines, each shown as the expected one when that ends in "..." and it starts with the
// rest.
std::string Matched(const std::vector<std::string> &actual,
                    const std::vector<std::string> &expected) {
    std::string text;
    for (size_t i = 0; i < actual.size(); ++i) {
        const std::string want = i < expected.size() ? expected[i] : "";
        const bool prefix = want.size() > 3 && want.compare(want.size() - 3, 3, "...") == 0;
        const bool matches = prefix && actual[i].rfind(want.substr(0, want.size() - 3), 0) == 0;
        text += (matches ? want : actual[i]) + "\n";
    }
    return text;
}

// "YYYY-MM-DD HH:MM:SS", as listed entries' and files' local times are shown.
std::string DateText(const ListedEntry &e) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", e.year, e.month, e.day,
                  e.hour, e.minute, e.second);
    return text;
}

// A file's permission bits as "0755", and with withTime its local modification time.
std::string Attributes(const std::string &path, bool withTime) {
    struct stat st {};
    std::tm when{};
    if (lstat(path.c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &when)) return "missing";
    char text[40];
    const int n = std::snprintf(text, sizeof text, "%04o", st.st_mode & 07777);
    if (withTime) std::strftime(text + n, sizeof text - n, " %Y-%m-%d %H:%M:%S", &when);
    return text;
}

// "name E|- method size crc date time compressed-size ratio%"
std::string Shown(const ListedEntry &e) {
    char crc[12];
    std::snprintf(crc, sizeof crc, "%08x", e.crc);
    return e.name + ((e.flags & UZ_ENTRY_ENCRYPTED) ? " E " : " - ") + e.method + " " +
           std::to_string(e.size) + " " + crc + " " + DateText(e) + " " +
           std::to_string(e.compressedSize) + " " + std::to_string(e.ratio) + "%";
}

void Apply(const std::string &word, Harness &h, std::string &archive, std::string &dest) {
    const std::string key = word.substr(0, word.find('=')), value = word.substr(key.size() + 1);
    if (kFields.count(key))
        h.options.*kFields.at(key) = std::stoi(value);
    else if (key == "include")
        h.include = Split(value, ",");
    else if (key == "exclude")
        h.exclude = Split(value, ",");
    else if (key == "stop")
        h.stopAt = value;
    else if (key == "fill")
        h.fillPasswordBuffer = true;
    else if (key == "archive")
        archive = value;
    else if (key == "dest")
        dest = value;
    else if (key == "replies")
        for (const std::string &reply : Split(value, ",")) h.replies.push_back(kCodes.at(reply));
    else if (key == "passwords")  // "-" refuses
        for (const std::string &p : Split(value, ","))
            h.passwords.push_back(p == "-" ? std::nullopt : std::optional(p));
    else if (key == "cut")  // another program cuts the archive short at this entry
        h.onService = [&archive, value](const std::string &name) {
            if (name == value) fs::resize_file(archive, fs::file_size(archive) / 3);
        };
    else
        ADD_FAILURE() << "unknown setting " << word;
}

void RunCase(const Case &c) {
    TempDir tmp;
    const std::string out = tmp / "out";
    std::string archive = tmp / "a.zip", dest = out;
    // By key, with $TMP and the cause of a write refused in a read-only folder in place.
    const std::string denied = ::geteuid() == 0 ? "Read-only file system" : "Permission denied";
    std::map<std::string, std::vector<std::string>> at;
    for (const auto &[key, value] : c.items)
        at[key].push_back(Replace(Replace(value, "$TMP", tmp.path()), "$DENIED", denied));
    const auto made =
        Craft("PATH = " + ShellQuote(archive) + "\n" + Replace(c.make, "$TMP", tmp.path()));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    for (const std::string &file : at["have"])  // "PATH CONTENT"
        WriteFile(out + "/" + file.substr(0, file.find(' ')), file.substr(file.find(' ') + 1));
    for (const std::string &file : at["mtime"])  // "PATH DATE TIME", local
        EXPECT_EQ(Run("touch -d " + ShellQuote(file.substr(file.find(' ') + 1)) + " " +
                      ShellQuote(out + "/" + file.substr(0, file.find(' ')))).exitCode, 0);
    std::optional<testsupport::Mount> readOnly;
    if (at.count("readonly")) {
        fs::create_directories(out);
        fs::permissions(out, fs::perms::owner_read | fs::perms::owner_exec);
        readOnly.emplace(out);  // root writes into a folder of any mode
        if (::geteuid() == 0 && !readOnly->ok()) GTEST_SKIP() << "cannot bind-mount read-only";
    }
    std::list<testsupport::Mount> mounts;  // "PATH BYTES": a small file system inside out
    for (const std::string &line : at["tmpfs"]) {
        fs::create_directories(out + "/" + line.substr(0, line.find(' ')));
        mounts.emplace_back(out + "/" + line.substr(0, line.find(' ')),
                            std::stoul(line.substr(line.find(' ') + 1)));
        if (!mounts.back().ok()) GTEST_SKIP() << "needs root to mount";
    }
    Harness h, listing;  // listing: a call of its own before an extraction
    for (const std::string &setting : at["set"])
        for (const std::string &word : Split(setting, " ")) Apply(word, h, archive, dest);
    if (!h.options.ListOnly && !at["list"].empty()) {
        EXPECT_EQ(listing.List(archive), UZ_OK);
        EXPECT_EQ(listing.AllMessages(), "");
    }

    if (at.count("kill")) {  // first a child's run, killed when it prints this line
        const std::string before = treecheck::DescribeTree(out, true);
        EXPECT_TRUE(testsupport::RunAndKillAtLine({ENGINE_CHILD, "unzip", archive, dest},
                                                  at["kill"][0]));
        EXPECT_EQ(treecheck::DescribeTree(out, true), before);
    }
    EXPECT_EQ(h.options.ListOnly ? h.List(archive) : h.Extract(archive, dest),
              kCodes.at(at["result"].at(0))) << h.AllMessages();
    EXPECT_EQ(fs::exists(out) ? treecheck::DescribeTree(out, true) : "", Lines(at["tree"]));
    EXPECT_EQ(Matched(h.MessagesWithoutProgress(), at["msg"]), Lines(at["msg"]));
    EXPECT_EQ(Lines(h.replaceAsked), Lines(at["asked"]));
    std::vector<std::string> queries;
    for (const auto &q : h.passwordQueries) queries.push_back(q.entryName + ": " + q.prompt);
    EXPECT_EQ(Lines(queries), Lines(at["query"]));
    if (at.count("service")) {
        EXPECT_EQ(Lines(h.serviceNames), Lines(at["service"]));
    }
    for (const std::string &line : at["stat"]) {  // "PATH MODE DATE TIME"
        const std::string path = line.substr(0, line.find(' '));
        EXPECT_EQ(path + " " + Attributes(out + "/" + path, true), line);
    }
    for (const std::string &name : NamesIn(tmp.path()))  // nothing beside the destination
        EXPECT_TRUE(name == "a.zip" || name == "out") << name;
    if (at.count("progress")) {
        std::vector<int> percents;
        for (const auto &m : h.messages)
            if (IsProgressLine(m) && m.back() == '%')
                percents.push_back(std::stoi(m.substr(m.rfind(' ') + 1)));
        EXPECT_GE(percents.size(), std::stoul(at["progress"][0])) << h.AllMessages();
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << h.AllMessages();
        EXPECT_TRUE(at["progress"][0] != "0" || h.MessagesWithoutProgress() == h.messages);
    }

    if (!h.options.ListOnly && at["list"].empty()) return;
    // The listing's last lines; all its lines unless "entries" gives their number.
    std::vector<std::string> shown;
    for (const ListedEntry &e : (h.options.ListOnly ? h : listing).listed)
        shown.push_back(Shown(e));
    const std::vector<std::string> &lines = at["list"];
    EXPECT_EQ(shown.size(), at.count("entries") ? std::stoul(at["entries"][0]) : lines.size());
    const std::vector<std::string> last(shown.end() - std::min(shown.size(), lines.size()),
                                        shown.end());
    EXPECT_EQ(Matched(last, lines), Lines(lines));
}

// The tree; with "exact" or "dos" each file's permission bits too, with "exact" its time.
std::string Describe(const std::string &root, const std::string &check) {
    if (check != "exact" && check != "dos") return treecheck::DescribeTree(root, true);
    const std::string format = check == "exact" ? "%P %m %T+\\n" : "%P %m\\n";
    const std::string find = "find . -type f -printf '" + format + "' | sort";
    return treecheck::DescribeTree(root, true) +
           Run("cd " + ShellQuote(root) + " && " + find).output;
}

void RunPeer(const std::string &row) {
    std::istringstream columns(row);
    std::string source, password, method, check, command;
    columns >> source >> password >> method >> check >> std::ws;
    std::getline(columns, command);
    TempDir tmp;
    const std::string src = tmp / "src", zip = tmp / "p.zip", ours = tmp / "ours";
    ASSERT_EQ(Craft("tree(" + ShellQuote(src) + ", '" + source + "')").exitCode, 0);
    const auto made = Run("cd " + ShellQuote(src) + " && OUT=" + ShellQuote(zip) +
                          " PY=" + testsupport::Python() + " CRAFT=" UNZIP_TEST_DIR
                          "/zipcraft.py ZSTD_ZIP=" ZSTD_ZIP " && " + command);
    ASSERT_EQ(made.exitCode, 0) << made.output;
    const std::deque<std::optional<std::string>> answers(password == "-" ? 0 : 8, password);

    Harness h;
    h.passwords = answers;
    const int32_t result = h.Extract(zip, ours);
    EXPECT_LE(h.passwordQueries.size(), 1u);
    if (check == "refused") {
        EXPECT_EQ(result, UZ_ERR_BADZIP);
        EXPECT_TRUE(h.HasMessage("error: big.bin: unsupported method (" + method + ")"))
            << h.AllMessages();
        EXPECT_FALSE(fs::exists(ours + "/big.bin"));
    } else {
        EXPECT_EQ(result, UZ_OK) << h.AllMessages();
        EXPECT_EQ(Describe(ours, check), Describe(src, check));
    }
    if (check == "dos") {
        const std::string ref = tmp / "ref";
        ASSERT_EQ(Run("unzip -q " + ShellQuote(zip) + " -d " + ShellQuote(ref)).exitCode, 0);
        EXPECT_EQ(Describe(ours, "exact"), Describe(ref, "exact"));
    }

    Harness list;
    ASSERT_EQ(list.List(zip), UZ_OK);
    for (const ListedEntry &e : list.listed) {
        const bool encrypted = e.flags & UZ_ENTRY_ENCRYPTED;
        if (e.size > 100000) {
            EXPECT_EQ(encrypted, password != "-") << e.name;
            EXPECT_TRUE(method == "-" || e.method == method) << e.name << ": " << e.method;
        }
        const std::string file = ours + "/" + e.name;
        if (!fs::is_regular_file(fs::symlink_status(file))) continue;
        const std::string data = ReadFile(file);
        EXPECT_EQ(e.size, data.size()) << e.name;
        EXPECT_EQ(DateText(e), Attributes(file, true).substr(5)) << e.name;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(data.data()),
                                static_cast<uInt>(data.size()));
        EXPECT_TRUE(encrypted || e.crc == crc) << e.name;  // AES entries may carry no CRC
    }

    if (check != "flip") return;
    ASSERT_EQ(Craft("flip(" + ShellQuote(zip) + ", 'big.bin')").exitCode, 0);
    Harness test;
    test.options.TestZip = 1;
    test.passwords = answers;
    EXPECT_NE(test.Extract(zip, ""), UZ_OK);
    EXPECT_FALSE(test.HasMessage("    testing: big.bin  OK")) << test.AllMessages();
    EXPECT_TRUE(test.HasMessage("    testing: text.txt  OK")) << test.AllMessages();
}

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, GiveWhatTheyExpect) {
    if (GetParam().peer.empty())
        RunCase(GetParam());
    else
        RunPeer(GetParam().peer);
}

INSTANTIATE_TEST_SUITE_P(Data, Cases, testing::ValuesIn(LoadCases()),
                         [](const auto &info) { return info.param.name; });

}  // namespace

TEST(Version, TextsAreTerminatedInsideTheirFields) {
    UnzipVersion v;
    std::memset(&v, ' ', sizeof v);
    UzpVersion2(&v);
    EXPECT_NE(std::memchr(v.ExtraInfo, 0, sizeof v.ExtraInfo), nullptr);
    EXPECT_NE(std::memchr(v.Date, 0, sizeof v.Date), nullptr);
    EXPECT_NE(std::memchr(v.LibraryVersion, 0, sizeof v.LibraryVersion), nullptr);
    EXPECT_GT(std::strlen(v.Date), 0u);
    // The three version numbers agree, each "major, minor, revision, 0".
    EXPECT_EQ(std::memcmp(v.FormatVersion, v.EngineVersion, 4), 0);
    EXPECT_EQ(std::memcmp(v.ListingVersion, v.EngineVersion, 4), 0);
    EXPECT_EQ(v.EngineVersion[3], 0);
    EXPECT_GT(v.EngineVersion[0] + v.EngineVersion[1] + v.EngineVersion[2], 0);
}
