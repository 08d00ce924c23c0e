// Times one zip engine run over a folder tree, the way the program calls it: the tree's
// parent as RootDir, "name/*.*" with recursion.
//   zip_bench FOLDER ARCHIVE [LEVEL] [PASSWORD]
#include "vbzip11.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string g_password;

int32_t TESK_CALL Print(const char *text, int32_t length) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(length), text);
    return 0;
}
int16_t TESK_CALL Comment(char *) { return 1; }
int16_t TESK_CALL Password(char *buffer, int32_t size, const char *, const char *) {
    std::strncpy(buffer, g_password.c_str(), static_cast<std::size_t>(size) - 1);
    return 0;
}
int32_t TESK_CALL Service(const char *, int32_t) { return 0; }

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER ARCHIVE [LEVEL] [PASSWORD]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::absolute(argv[1]).lexically_normal();
    const std::string root = folder.parent_path().string();
    const std::string spec = folder.filename().string() + "/*.*";
    ZipCallbacks callbacks{Print, Comment, Password, Service};
    ZpInit(&callbacks);
    ZipOptions options{};
    options.RootDir = root.c_str();
    options.Recurse = 2;
    options.NoDirEntries = 1;
    options.LevelChar = argc > 3 ? argv[3][0] : '6';
    if (argc > 4) {
        g_password = argv[4];
        options.Encrypt = 1;
    }
    ZpSetOptions(&options);
    std::vector<const char *> names(TESK_NAMELIST_SLOTS, nullptr);
    names[0] = spec.c_str();
    names[1] = "";
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = ZpArchive(1, argv[2], names.data());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("result %d, %.3f s\n", result, seconds);
    return result == ZP_OK ? 0 : 1;
}
