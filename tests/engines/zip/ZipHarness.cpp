#include "ZipHarness.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zipharness {
namespace {

using testsupport::ShellQuote;



Script *g_script = nullptr;
std::thread::id g_caller;

void NoteThread() {
    if (std::this_thread::get_id() != g_caller) g_script->foreignThread = true;
}

int32_t TESK_CALL OnPrint(const char *text, int32_t length) {
    NoteThread();
    g_script->messages.emplace_back(text, static_cast<std::size_t>(length));
    return 0;
}

int16_t TESK_CALL OnComment(char *buffer) {
    NoteThread();
    if (g_script->refuseComment) return 1;
    std::memcpy(buffer, g_script->comment.data(), std::min<std::size_t>(g_script->comment.size(), 255));
    return 0;
}

int16_t TESK_CALL OnPassword(char *buffer, int32_t size, const char *, const char *) {
    NoteThread();
    ++g_script->passwordCalls;
    g_script->passwordBufferSize = size;
    for (int32_t i = 0; i < size; ++i)
        if (buffer[i] != 0) g_script->passwordBufferZeroed = false;
    if (g_script->refusePassword) return 1;
    std::memcpy(buffer, g_script->password.data(),
                std::min<std::size_t>(g_script->password.size(), static_cast<std::size_t>(size)));
    return 0;
}

int32_t TESK_CALL OnService(const char *name, int32_t length) {
    NoteThread();
    g_script->serviceNames.emplace_back(name, static_cast<std::size_t>(length));
    if (g_script->onService) g_script->onService(g_script->serviceNames.back());
    return g_script->serviceNames.back() == g_script->stopAt ? 1 : 0;
}

}  // namespace

std::string Script::AllMessages() const {
    std::string all;
    for (const auto &m : messages) all += m + "\n";
    return all;
}

void ZipEngineTest::SetUp() {
    g_script = &script_;
    g_caller = std::this_thread::get_id();
    rootDir_ = dir_.path().string();
    ZipCallbacks callbacks{OnPrint, OnComment, OnPassword, OnService};
    ZpInit(&callbacks);
}

void ZipEngineTest::TearDown() {
    EXPECT_FALSE(script_.foreignThread) << "a callback came from a worker thread";
    g_script = nullptr;
}

ZipOptions ZipEngineTest::Options() {
    ZipOptions options{};
    options.RootDir = rootDir_.c_str();
    options.LevelChar = '6';
    return options;
}

int32_t ZipEngineTest::Zip(const std::string &archive, const std::vector<std::string> &specs,
                           const ZipOptions &options) {
    ZipOptions copy = options;
    ZpSetOptions(&copy);
    std::vector<const char *> table(TESK_NAMELIST_SLOTS, nullptr);
    for (std::size_t i = 0; i < specs.size(); ++i) table[i] = specs[i].c_str();
    table[specs.size()] = "";
    return ZpArchive(static_cast<int32_t>(specs.size()), archive.c_str(), table.data());
}

namespace {

// Drops the capabilities that pass over file modes and ownership (no libcap needed).
bool DropFileModeOverrides() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
        data[cap / 32].effective &= ~(1u << (cap % 32));
        data[cap / 32].permitted &= ~(1u << (cap % 32));
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

int32_t ZipEngineTest::ZipBoundByModes(const std::vector<std::string> &specs,
                                       const ZipOptions &options) {
    if (::geteuid() != 0) return Zip(specs, options);
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        int32_t result = 99;
        if (DropFileModeOverrides()) result = Zip(specs, options);
        for (const auto &m : script_.messages) {
            const std::string record = m + '\0';
            if (::write(fds[1], record.data(), record.size()) < 0) break;
        }
        ::_exit(result);
    }
    ::close(fds[1]);
    std::string all;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (std::size_t start = 0, end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
        script_.messages.push_back(all.substr(start, end - start));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 99) << "cannot drop the capabilities";
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> ZipEngineTest::Names(const std::string &archive) {
    const auto r = testsupport::RunPython("import sys, zipfile\n"
                             "for n in zipfile.ZipFile(sys.argv[1]).namelist(): print(n)\n",
                             ShellQuote(archive));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> names;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

std::map<std::string, EntryInfo> ZipEngineTest::Infos(const std::string &archive) {
    const auto r = testsupport::RunPython(
        "import sys, zipfile, struct\n"
        "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
        "    ut = -1; x = i.extra\n"
        "    while len(x) >= 4:\n"
        "        hid, n = struct.unpack('<HH', x[:4])\n"
        "        if hid == 0x5455 and n >= 5 and x[4] & 1: ut = struct.unpack('<i', x[5:9])[0]\n"
        "        x = x[4 + n:]\n"
        "    d = '%04d-%02d-%02d %02d:%02d:%02d' % i.date_time\n"
        "    print(i.filename, i.compress_type, i.flag_bits, i.external_attr, d.replace(' ', 'T'), ut, i.file_size)\n",
        ShellQuote(archive));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::map<std::string, EntryInfo> infos;
    std::istringstream in(r.output);
    std::string name, dateTime;
    EntryInfo info;
    while (in >> name >> info.method >> info.flags >> info.externalAttr >> dateTime >> info.utMtime >> info.size) {
        std::replace(dateTime.begin(), dateTime.end(), 'T', ' ');
        info.dateTime = dateTime;
        infos[name] = info;
    }
    return infos;
}

std::string ZipEngineTest::Read(const std::string &archive, const std::string &name,
                                const std::string &password) {
    const auto r = testsupport::RunPython("import sys, zipfile\n"
                             "z = zipfile.ZipFile(sys.argv[1])\n"
                             "pw = sys.argv[3].encode() or None\n"
                             "sys.stdout.buffer.write(z.read(sys.argv[2], pwd=pw))\n",
                             ShellQuote(archive) + " " + ShellQuote(name) + " " + ShellQuote(password));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

void ZipEngineTest::ExpectValid(const std::string &archive, const std::string &password) {
    const std::string pw = password.empty() ? "" : " -P " + ShellQuote(password);
    auto r = testsupport::Run("unzip -tqq" + pw + " " + ShellQuote(archive));
    EXPECT_EQ(r.exitCode, 0) << "unzip -t: " << r.output;
    const std::string pw7 = password.empty() ? "" : " -p" + ShellQuote(password);
    r = testsupport::Run("7zz t" + pw7 + " " + ShellQuote(archive));
    EXPECT_EQ(r.exitCode, 0) << "7zz t: " << r.output;
    r = testsupport::RunPython("import sys, zipfile\n"
                  "z = zipfile.ZipFile(sys.argv[1])\n"
                  "if sys.argv[2]: z.setpassword(sys.argv[2].encode())\n"
                  "bad = z.testzip()\n"
                  "sys.exit(0 if bad is None else 1)\n",
                  ShellQuote(archive) + " " + ShellQuote(password));
    EXPECT_EQ(r.exitCode, 0) << "testzip: " << r.output;
}

void SetMtime(const std::string &path, long long seconds) {
    timeval times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0) << path;
}

}  // namespace zipharness
