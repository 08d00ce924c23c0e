// Runs the cases of zip_cases.txt (its header describes the lines): each makes files, runs the
// zip engine through its C entry points with options and callback answers, and checks the
// archives with independent tools and what the callbacks saw.
#include "Mount.h"
#include "TestSupport.h"
#include "vbzip11.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <linux/capability.h>
#include <map>
#include <list>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::ShellQuote;
using Words = std::vector<std::string>;

namespace {

std::map<std::string, Words> g_lines;  // the lines of each case and block, by name

// The names of the cases, in file order.
Words ReadCases() {
    Words cases;
    std::string name;
    for (const std::string &line : testsupport::Split(testsupport::ReadFile(ZIP_CASES), "\n")) {
        const std::string verb = line.substr(0, line.find(' '));
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == ' ') {
            g_lines[name].back() += line;
        } else if (verb == "case" || verb == "block") {
            std::istringstream(line.substr(verb.size())) >> name;
            if (verb == "case") cases.push_back(name);
        } else {
            g_lines[name].push_back(line);
        }
    }
    return cases;
}

// What the callbacks answer, and what they saw in the last run.
struct Callbacks {
    std::string password = "secret", stopAt;
    bool refusePassword = false, refuseComment = false, zeroed = true, foreignThread = false;
    int passwordCalls = 0, bufferSize = 0;
    Words messages, serviced;
    std::string all;  // every message, each ending "\n"
    std::multimap<std::string, std::string> hooks;  // entry name -> line run when it is serviced
    std::function<void(const std::string &)> runLine;
    std::thread::id caller;
} g;

void NoteThread() { g.foreignThread |= std::this_thread::get_id() != g.caller; }

int32_t TESK_CALL OnPrint(const char *text, int32_t length) {
    NoteThread();
    g.messages.emplace_back(text, static_cast<std::size_t>(length));
    g.all += g.messages.back() + "\n";
    return 0;
}

int16_t TESK_CALL OnComment(char *buffer) {
    NoteThread();
    if (!g.refuseComment) std::strcpy(buffer, "a comment");
    return g.refuseComment ? 1 : 0;
}

int16_t TESK_CALL OnPassword(char *buffer, int32_t size, const char *, const char *) {
    NoteThread();
    ++g.passwordCalls;
    g.bufferSize = size;
    g.zeroed = g.zeroed && std::all_of(buffer, buffer + size, [](char c) { return c == 0; });
    if (g.refusePassword) return 1;
    std::memcpy(buffer, g.password.data(), std::min<std::size_t>(g.password.size(), size));
    return 0;
}

int32_t TESK_CALL OnService(const char *name, int32_t length) {
    NoteThread();
    g.serviced.emplace_back(name, static_cast<std::size_t>(length));
    const auto [from, to] = g.hooks.equal_range(g.serviced.back());
    for (auto hook = from; hook != to; ++hook) g.runLine(hook->second);
    return g.serviced.back() == g.stopAt ? 1 : 0;
}

// Runs a zip run as a user whom file modes bind: root runs it in a child process without the
// capabilities that pass over them (it drops them all, no libcap needed); the messages come back
// through the spool file.
int32_t BoundByModes(const std::function<int32_t()> &run, const std::string &spool) {
    if (::geteuid() != 0) return run();
    const pid_t child = ::fork();
    if (child == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct none[2]{};
        const int32_t result = ::syscall(SYS_capset, &header, none) == 0 ? run() : 99;
        std::ofstream(spool) << g.all;
        ::_exit(result);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    std::ifstream in(spool);
    for (std::string m; std::getline(in, m);) OnPrint(m.data(), int32_t(m.size()));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 99) << "cannot drop the capabilities";
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A line per entry: its name's bytes, a tab and its fields. Every entry is read (zipfile checks
// its CRC), with the password if there is one; encrypted entries are not read without.
constexpr const char *kDump = R"(import sys, zipfile, struct, zlib
z = zipfile.ZipFile(sys.argv[1])
pw = sys.argv[2].encode() or None
for i in z.infolist():
    ut, x, a = -1, i.extra, i.external_attr
    while len(x) >= 4:
        tag, n = struct.unpack('<HH', x[:4])
        if tag == 0x5455 and n >= 5 and x[4] & 1: ut = struct.unpack('<i', x[5:9])[0]
        x = x[4 + n:]
    data = z.read(i, pwd=pw) if pw or not i.flag_bits & 1 else b''
    fields = ' size=%d crc=%d method=%d enc=%d utf8=%d host=%d mode=%o kind=%o dirbit=%d ut=%d' % (
        len(data), zlib.crc32(data), i.compress_type, i.flag_bits & 1, i.flag_bits >> 11 & 1,
        i.create_system, a >> 16, a >> 16 & 0o170000, a >> 4 & 1, ut)
    fields += ' dos=%04d-%02d-%02dT%02d:%02d:%02d ' % i.date_time
    name = i.filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')
    sys.stdout.buffer.write(name + b'\t' + fields.encode() + b'\n')
)";

class ZipCase : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        g = Callbacks{};
        g.caller = std::this_thread::get_id();
        ::setenv("TZ", "UTC", 1);  // the DOS fields hold local time
        ::tzset();
        g.runLine = [this](const std::string &line) { Do(line); };
        ZipCallbacks callbacks{OnPrint, OnComment, OnPassword, OnService};
        EXPECT_EQ(ZpInit(&callbacks), 1);
    }
    void TearDown() override {
        EXPECT_FALSE(g.foreignThread) << "a callback came from a worker thread";
        if (umask_) ::umask(*umask_);
    }

    // A word with $TMP, {N*TEXT} and the escapes replaced.
    std::string Expand(const std::string &raw) const {
        std::string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw.compare(i, 4, "$TMP") == 0) {
                out += dir_.path().string().substr(1);
                i += 3;
            } else if (raw[i] == '{') {
                const std::size_t star = raw.find('*', i), end = raw.find('}', i);
                const std::string unit = Expand(raw.substr(star + 1, end - star - 1));
                for (int n = std::stoi(raw.substr(i + 1)); n > 0; --n) out += unit;
                i = end;
            } else if (raw[i] == '\\' && raw[i + 1] == 'x') {
                out += char(std::stoi(raw.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else if (raw[i] == '\\') {
                const char c = raw[++i];
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 's' ? ' ' : c == '0' ? '\0' : c;
            } else {
                out += raw[i];
            }
        }
        return out;
    }
    // A file's content as a case gives it: the word itself, or @file:PATH for that file's bytes.
    std::string Content(const std::string &word) const {
        return word.rfind("@file:", 0) == 0 ? testsupport::ReadFile(P(word.substr(6))) : word;
    }
    std::string P(const std::string &path) const { return path[0] == '/' ? path : dir_ / path; }
    // The archive's lines of kDump, in entry order.
    const Words &Dump(const std::string &archive, const std::string &pw = "") {
        const std::string key = ShellQuote(archive) + ' ' + ShellQuote(pw);
        if (!dumps_.count(key)) {
            const auto r = testsupport::RunPython(kDump, key);
            EXPECT_EQ(r.exitCode, 0) << r.output;
            const std::string out = r.output.substr(0, r.output.size() - 1);  // without the last \n
            dumps_[key] = out.empty() ? Words{} : testsupport::Split(out, "\n");
        }
        return dumps_[key];
    }
    void Zip(const Words &w) {
        ZipOptions options{.LevelChar = '6'};
        root_ = dir_.path().string();
        bool bound = false;
        Words specs;
        for (std::size_t i = 2; i + 2 < w.size(); ++i) {
            const std::string &word = w[i];
            if (kFlags.count(word))
                options.*kFlags.at(word) = word == "-recurse" ? 2 : 1;
            else if (word.rfind("-level=", 0) == 0)
                options.LevelChar = word.size() > 7 ? word[7] : '\0';
            else if (word.rfind("-root=", 0) == 0)
                root_ = word.size() > 6 ? P(word.substr(6)) : "";
            else if (word == "-bound")
                bound = true;
            else
                specs.push_back(word);
        }
        options.RootDir = root_.empty() ? nullptr : root_.c_str();
        EXPECT_EQ(ZpSetOptions(&options), 1);
        std::fill(root_.begin(), root_.end(), '?');  // the engine keeps a copy of its own
        std::vector<const char *> table(TESK_NAMELIST_SLOTS, nullptr);
        for (std::size_t i = 0; i < specs.size(); ++i) table[i] = specs[i].c_str();
        table[specs.size()] = "";
        const std::string archive = P(w[1]);
        const char *name = w[1] == "(null)" ? nullptr : archive.c_str();
        const auto run = [&] { return ZpArchive(int32_t(specs.size()), name, table.data()); };
        g.messages.clear();
        g.all.clear();
        g.serviced.clear();
        dumps_.clear();
        const int32_t result = bound ? BoundByModes(run, P(".messages")) : run();
        EXPECT_EQ(kResults.at(result), w.back()) << g.all;
        for (const auto &m : g.messages) EXPECT_LT(m.size(), 1024u) << m;
    }

    void Do(const std::string &line) {
        SCOPED_TRACE(line);
        std::istringstream in(line);
        Words raw, w;
        for (std::string word; in >> word;) raw.push_back(word);
        for (const auto &word : raw) w.push_back(Expand(word));
        const std::string &v = w[0];
        // The line after its first n words, as written.
        const auto rest = [&](std::size_t n) {
            std::size_t at = 0;
            for (std::size_t i = 0; i < n; ++i) at = line.find(raw[i], at) + raw[i].size();
            return line.substr(line.find_first_not_of(' ', at));
        };
        if (v == "use") {
            for (const auto &l : g_lines.at(w[1])) {
                Do(l);
                if (IsSkipped() || HasFatalFailure()) return;
            }
        } else if (v == "file") {
            testsupport::WriteFile(P(w[1]), Content(w.size() > 2 ? w[2] : ""));
        } else if (v == "sh") {
            const std::string cmd = Expand(rest(1));
            const std::size_t arrow = cmd.find(" => ");
            const std::string in = "cd " + ShellQuote(P(".")) + " && ";
            const auto r = testsupport::Run(in + cmd.substr(0, arrow));
            EXPECT_EQ(r.exitCode, 0) << r.output;
            std::istringstream out(r.output);
            std::string seen, word;
            while (out >> word) seen += (seen.empty() ? "" : " ") + word;
            EXPECT_EQ(seen, arrow == std::string::npos ? seen : cmd.substr(arrow + 4));
        } else if (v == "umask") {
            umask_ = ::umask(std::stoul(w[1], nullptr, 8));
        } else if (v == "many") {
            for (int i = 0; i < std::stoi(w[2]); ++i) {
                std::string s(i % 9 ? 0 : i, static_cast<char>(i * 31)), n = std::to_string(i);
                for (int k = 0; k < i % 50 * 40; ++k) s += "line " + std::to_string(k * i) + "\n";
                const auto folder = "/d" + std::to_string(i % 7) + "/s" + std::to_string(i % 5);
                testsupport::WriteFile(P(w[1] + folder + "/f" + n + ".txt"), s);
            }
        } else if (v == "tmpfs" || v == "readonly") {
            if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount";
            fs::create_directories(P(w[1]));
            if (v == "tmpfs") mounts_.emplace_back(P(w[1]), std::stoul(w[2]));
            if (v == "readonly") mounts_.emplace_back(P(w[1]));
            if (!mounts_.back().ok()) GTEST_SKIP() << "cannot mount here";
        } else if (v == "password") {
            g.password = w.size() > 1 ? w[1] : "";
            g.refusePassword = false;
        } else if (v == "refuse") {
            (w[1] == "password" ? g.refusePassword : g.refuseComment) = true;
        } else if (v == "stop-at") {
            g.stopAt = w[1];
        } else if (v == "at") {
            g.hooks.emplace(w[1], rest(2));
        } else if (v == "zip") {
            Zip(w);
        } else if (v == "kill-at") {
            Words argv = {ENGINE_CHILD, "zip", P(w[2]), dir_.path().string(), w[1]};
            argv.insert(argv.end(), w.begin() + 3, w.end());
            EXPECT_TRUE(testsupport::RunAndKillAtLine(argv, "paused"));
        } else if (v == "names") {
            Words names;
            for (const auto &entry : Dump(P(w[1])))
                names.push_back(entry.substr(0, entry.find('\t')));
            EXPECT_EQ(names, Words(w.begin() + 2, w.end()));
        } else if (v == "entry") {
            const bool pw = w.size() > 3 && w[3].rfind("pw=", 0) == 0;
            const Words &entries = Dump(P(w[1]), pw ? w[3].substr(3) : "");
            const auto it = std::find_if(entries.begin(), entries.end(),
                [&](const auto &e) { return e.rfind(w[2] + '\t', 0) == 0; });
            ASSERT_NE(it, entries.end()) << "no such entry";
            for (std::size_t i = pw ? 4 : 3; i < w.size(); ++i) {
                std::string want = w[i];
                if (want.rfind("data=", 0) == 0) {
                    const std::string d = Content(want.substr(5));
                    const auto crc = crc32(0, reinterpret_cast<const Bytef *>(d.data()), d.size());
                    want = "size=" + std::to_string(d.size()) + " crc=" + std::to_string(crc);
                }
                EXPECT_NE(it->find(" " + want + " "), std::string::npos) << *it;
            }
        } else if (v == "said" || v == "unsaid") {
            const bool found = g.all.find(Expand(rest(1))) != std::string::npos;
            EXPECT_EQ(found, v == "said") << g.all;
        } else if (v == "all") {
            EXPECT_EQ(g.all, Expand(rest(1)));
        } else if (v == "lines") {
            EXPECT_EQ(g.messages.size(), std::stoul(w[1])) << g.all;
        } else if (v == "line") {
            const long count = static_cast<long>(g.messages.size()), at = std::stol(w[1]);
            ASSERT_TRUE(at < count && at >= -count) << g.all;
            const std::string &m = g.messages[at < 0 ? count + at : at];
            EXPECT_EQ(m.rfind(Expand(rest(2)), 0), 0u) << m;
        } else if (v == "serviced") {
            EXPECT_EQ(g.serviced, Words(w.begin() + 1, w.end()));
        } else if (v == "progress") {
            std::vector<int> seen;
            for (const auto &m : g.messages)
                if (m.rfind("  adding: " + w[1] + " ", 0) == 0 && m.back() == '%')
                    seen.push_back(std::stoi(m.substr(m.rfind(' ') + 1)));
            EXPECT_GE(seen.size(), std::stoul(w[2])) << g.all;
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << g.all;
        } else if (v == "asked") {
            EXPECT_EQ(g.passwordCalls, std::stoi(w[1]));
            EXPECT_EQ(g.bufferSize, ZP_PASSWORD_BUFFER);
            EXPECT_TRUE(g.zeroed);
        } else {
            ADD_FAILURE() << "unknown line";
        }
    }

    using O = ZipOptions;
    static inline const std::map<std::string, int32_t O::*> kFlags = {
        {"-encrypt", &O::Encrypt}, {"-hidden", &O::SystemHidden}, {"-nodirs", &O::NoDirEntries},
        {"-verbose", &O::Verbose}, {"-quiet", &O::Quiet}, {"-crlf", &O::CRLFToLF},
        {"-lfcrlf", &O::LFToCRLF}, {"-junk", &O::JunkDirNames}, {"-append", &O::Append},
        {"-delete", &O::DeleteEntries}, {"-update", &O::Update}, {"-freshen", &O::Freshen},
        {"-comment", &O::Comment}, {"-recurse", &O::Recurse}};
    // In the order of their codes.
    static inline const Words kResults = {"ZP_OK", "ZP_ERR_NOMATCH", "ZP_ERR_READ",
        "ZP_ERR_DUPLICATE", "ZP_ERR_PASSWORD", "ZP_ERR_COMMENT", "ZP_ERR_ABORT", "ZP_ERR_ARCHIVE",
        "ZP_ERR_WRITE", "ZP_ERR_MEMORY", "ZP_ERR_PARAM"};

    testsupport::TempDir dir_;
    std::list<testsupport::Mount> mounts_;  // undone before dir_ goes
    std::string root_;
    std::optional<mode_t> umask_;
    std::map<std::string, Words> dumps_;  // by archive and password, until the next run
};

TEST_P(ZipCase, Run) { Do("use " + GetParam()); }

INSTANTIATE_TEST_SUITE_P(Cases, ZipCase, ::testing::ValuesIn(ReadCases()),
                         [](const auto &info) { return info.param; });

}  // namespace
