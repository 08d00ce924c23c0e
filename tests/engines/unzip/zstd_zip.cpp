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

constexpr int kMethodZstd = 93;

struct Precompressed {
    std::string bytes;
    uint64_t size = 0;
    uint32_t crc = 0;
    size_t position = 0;
    zip_error_t error{};
};

// A libzip source that reports its bytes as already compressed with kMethodZstd.
zip_int64_t Serve(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command) {
    auto *entry = static_cast<Precompressed *>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN: entry->position = 0; return 0;
    case ZIP_SOURCE_READ: {
        const size_t n = std::min<size_t>(length, entry->bytes.size() - entry->position);
        std::memcpy(data, entry->bytes.data() + entry->position, n);
        entry->position += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE: return 0;
    case ZIP_SOURCE_STAT: {
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC | ZIP_STAT_COMP_METHOD |
                    ZIP_STAT_MTIME;
        st->size = entry->size;
        st->comp_size = entry->bytes.size();
        st->crc = entry->crc;
        st->comp_method = kMethodZstd;
        st->mtime = 1500000000;  // traditional encryption derives its check byte from it
        return sizeof *st;
    }
    case ZIP_SOURCE_ERROR: return zip_error_to_data(&entry->error, data, length);
    case ZIP_SOURCE_FREE: delete entry; return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default: zip_error_set(&entry->error, ZIP_ER_OPNOTSUPP, 0); return -1;
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 5) return 2;
    const std::string encryption = argv[2];
    const int method = encryption == "aes"         ? ZIP_EM_AES_256
                       : encryption == "zipcrypto" ? ZIP_EM_TRAD_PKWARE
                                                   : ZIP_EM_NONE;
    int error = 0;
    zip_t *archive = zip_open(argv[1], ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return 1;
    for (int i = 4; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(in), {}};
        auto *entry = new Precompressed;
        entry->size = data.size();
        entry->crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
        entry->bytes.resize(ZSTD_compressBound(data.size()));
        const size_t n = ZSTD_compress(entry->bytes.data(), entry->bytes.size(), data.data(),
                                       data.size(), 9);
        if (ZSTD_isError(n)) return 1;
        entry->bytes.resize(n);
        zip_source_t *source = zip_source_function(archive, Serve, entry);
        const zip_int64_t index = source ? zip_file_add(archive, argv[i], source, 0) : -1;
        if (index < 0 ||
            (method != ZIP_EM_NONE && zip_file_set_encryption(archive, index, method, argv[3]) != 0)) {
            std::fprintf(stderr, "%s\n", zip_strerror(archive));
            return 1;
        }
    }
    if (zip_close(archive) != 0) {
        std::fprintf(stderr, "%s\n", zip_strerror(archive));
        return 1;
    }
    return 0;
}
