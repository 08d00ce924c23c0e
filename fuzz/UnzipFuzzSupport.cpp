#include "UnzipFuzzSupport.h"

#include "TreeCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace unzipfuzz {
namespace {

std::string g_scratch;

void RemoveScratch() {
    if (!g_scratch.empty()) treecheck::RemoveTree(g_scratch);
}

int32_t TESK_CALL OnPrint(const char *text, int32_t length) {
    volatile char sink = 0;
    for (int32_t i = 0; i < length; ++i) sink = sink ^ text[i];  // every byte must be readable
    return 0;
}

int g_passwordCalls = 0;

// Texts the engine hands over are read in full, so that a bad pointer or a missing NUL shows.
size_t Touch(const char *text) { return std::strlen(text); }

int32_t TESK_CALL OnPassword(char *buffer, int32_t size, const char *prompt, const char *entry) {
    Touch(prompt);
    Touch(entry);
    if (g_passwordCalls++ > 0 || size < 7) return 1;
    std::memcpy(buffer, "secret", 6);
    return 0;
}

int32_t TESK_CALL OnReplace(const char *name) { return Touch(name) ? UZ_REPLACE_YES : UZ_REPLACE_NO; }

void TESK_CALL OnEntry(uint64_t, uint64_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                       int32_t, const char *name, const char *method, uint32_t, int32_t) {
    Touch(name);
    Touch(method);
}

int32_t TESK_CALL OnService(const char *name, int32_t length) {
    if (static_cast<int32_t>(strnlen(name, static_cast<size_t>(length) + 1)) != length)
        Fault("service callback: length does not match the text");
    return 0;
}

// libFuzzer may end a process without running its exit handlers: every start removes the
// scratch folders of processes that are gone (their names carry the process id).
void RemoveStaleScratch(const std::string &base) {
    DIR *dir = opendir(base.c_str());
    if (!dir) return;
    const std::string prefix = "tesk-fuzz-";
    std::vector<std::string> stale;
    while (const dirent *e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind(prefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(name);
    }
    closedir(dir);
    for (const std::string &name : stale) treecheck::RemoveTree(base + "/" + name);
}

}  // namespace

const std::string &ScratchFolder() {
    if (g_scratch.empty()) {
        const std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        RemoveStaleScratch(base);
        std::string pattern = base + "/tesk-fuzz-" + std::to_string(getpid()) + "-XXXXXX";
        if (!mkdtemp(pattern.data())) Fault("cannot make a scratch folder");
        g_scratch = pattern;
        std::atexit(RemoveScratch);
    }
    return g_scratch;
}

void WriteBytes(const std::string &path, const uint8_t *data, size_t size) {
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
        Fault("cannot write " + path);
}

int32_t CallEngine(UnzipOptions options) {
    UnzipCallbacks callbacks{};
    callbacks.PrintCallback = OnPrint;
    callbacks.ReplaceCallback = OnReplace;
    callbacks.PasswordCallback = OnPassword;
    callbacks.EntryCallback = OnEntry;
    callbacks.ServiceCallback = OnService;
    const char *none[TESK_NAMELIST_SLOTS] = {""};
    g_passwordCalls = 0;
    return Wiz_SingleEntryUnzip(0, none, 0, none, &options, &callbacks);
}

void Fault(const std::string &reason) {
    std::fprintf(stderr, "FAULT: %s\n", reason.c_str());
    std::abort();
}

}  // namespace unzipfuzz
