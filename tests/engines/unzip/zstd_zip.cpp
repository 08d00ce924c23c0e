// Test helper: writes a zip of Zstandard entries, which no common archiver here writes.
// libzstd compresses each file; libzip stores the bytes as they are and encrypts them.
// Usage: zstd_zip OUT.zip none|zipcrypto|aes PASSWORD FILE...  (entries named as given)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <zip.h>
#include <zlib.h>
#include <zstd.h>

namespace {

struct Precompressed {
    std::string bytes;
    zip_stat_t stat;
    size_t position = 0;
};

// A libzip source whose bytes are already compressed, as its stat says.
zip_int64_t Serve(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command) {
    auto *entry = static_cast<Precompressed *>(state);
    switch (command) {
    case ZIP_SOURCE_READ: {
        const size_t n = std::min<size_t>(length, entry->bytes.size() - entry->position);
        std::memcpy(data, entry->bytes.data() + entry->position, n);
        entry->position += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT:
        *static_cast<zip_stat_t *>(data) = entry->stat;
        return sizeof entry->stat;
    case ZIP_SOURCE_FREE: delete entry; return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ,
                                              ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    case ZIP_SOURCE_OPEN: entry->position = 0; return 0;
    default: return 0;  // CLOSE needs nothing; no command fails, so ERROR is never asked
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 5) return 2;
    const std::string how = argv[2];
    const int encryption = how == "aes"         ? ZIP_EM_AES_256
                           : how == "zipcrypto" ? ZIP_EM_TRAD_PKWARE
                                                : ZIP_EM_NONE;
    zip_t *archive = zip_open(argv[1], ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (int i = 4; archive && i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(in), {}};
        auto *entry = new Precompressed{std::string(ZSTD_compressBound(data.size()), '\0'), {}};
        entry->bytes.resize(ZSTD_compress(entry->bytes.data(), entry->bytes.size(), data.data(),
                                          data.size(), 9));
        zip_stat_init(&entry->stat);
        entry->stat.valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                            ZIP_STAT_COMP_METHOD | ZIP_STAT_MTIME;
        entry->stat.size = data.size();
        entry->stat.comp_size = entry->bytes.size();
        entry->stat.crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
        entry->stat.comp_method = 93;  // Zstandard
        entry->stat.mtime = 1500000000;  // traditional encryption derives its check byte from it
        zip_source_t *source = zip_source_function(archive, Serve, entry);
        const zip_int64_t index = source ? zip_file_add(archive, argv[i], source, 0) : -1;
        if (index < 0 || (encryption != ZIP_EM_NONE &&
                          zip_file_set_encryption(archive, index, encryption, argv[3]) != 0)) {
            std::fprintf(stderr, "%s\n", zip_strerror(archive));
            return 1;
        }
    }
    if (archive && zip_close(archive) == 0) return 0;
    std::fprintf(stderr, "%s\n", archive ? zip_strerror(archive) : "cannot create the archive");
    return 1;
}
