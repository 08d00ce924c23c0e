// A run of one engine in a process of its own, for tests that kill it part way. It prints
// "paused" when it reaches the point the test waits for, then waits there to be killed.
//
//   engine_child zip ARCHIVE ROOT PAUSE_AT FILE...
//       Builds ARCHIVE from the files (relative to ROOT, stored). The service callback pauses
//       at PAUSE_AT: zip_close is then writing the archive's temporary file.
//   engine_child unzip ARCHIVE DEST
//       Extracts ARCHIVE into DEST, replacing existing files. The first password asked is
//       wrong; when the second is asked, the first try's temporary file exists: it pauses.
#include "vbuzip10.h"
#include "vbzip11.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_pauseAt;
int g_passwords = 0;

[[noreturn]] void Pause() {
    std::printf("paused\n");
    std::fflush(stdout);
    for (;;) pause();
}

int32_t TESK_CALL ZipService(const char *name, int32_t length) {
    if (std::string(name, static_cast<size_t>(length)) == g_pauseAt) Pause();
    return 0;
}

int32_t TESK_CALL UnzipPassword(char *buffer, int32_t, const char *, const char *) {
    if (g_passwords++ > 0) Pause();
    std::memcpy(buffer, "wrong", 5);
    return 0;
}

int Zip(int argc, char **argv) {
    ZipCallbacks callbacks{nullptr, nullptr, nullptr, ZipService};
    ZpInit(&callbacks);
    ZipOptions options{.RootDir = argv[3], .LevelChar = '0'};
    ZpSetOptions(&options);
    g_pauseAt = argv[4];
    std::vector<const char *> names(argv + 5, argv + argc);
    names.push_back("");
    names.resize(TESK_NAMELIST_SLOTS, nullptr);
    return ZpArchive(argc - 5, argv[2], names.data());
}

int Unzip(char **argv) {
    UnzipCallbacks callbacks{.PasswordCallback = UnzipPassword};
    UnzipOptions options{.UseFolderNames = 1, .OverwriteExisting = 1, .ArchivePath = argv[2],
                         .ExtractFolder = argv[3]};
    const char *none[TESK_NAMELIST_SLOTS] = {""};
    return Wiz_SingleEntryUnzip(0, none, 0, none, &options, &callbacks);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc >= 6 && std::strcmp(argv[1], "zip") == 0) return Zip(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "unzip") == 0) return Unzip(argv);
    std::fputs("usage: zip ARCHIVE ROOT PAUSE_AT FILE... | unzip ARCHIVE DEST\n", stderr);
    return 2;
}
