// Decoding of one entry's data: decryption through libzip, inflation with libdeflate (in
// memory) or zlib (streamed), and the checks that libzip skips on that path.
#pragma once

#include "CentralDirectory.h"
#include "OutputSink.h"

#include <cstdint>
#include <string>
#include <vector>
#include <zip.h>

struct libdeflate_decompressor;

namespace tesk::unzip {

enum class DecodeStatus {
    Ok,
    WrongPassword,  // refused by the password check, or no password for an encrypted entry
    PasswordRefused,  // the caller gave no password (never from the decoder itself)
    BadData,        // corrupt compressed data, failed authentication, read error
    CrcMismatch,
    SizeMismatch,   // the data is longer or shorter than the central directory says
    Unsupported,    // compression or encryption method
    OutputError,    // the sink failed; its error() tells why
    NoMemory,
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Ok;
    std::string detail;  // libzip's or the sink's explanation, when there is one
};

// Entries whose size and compressed size both stay within this are inflated in memory
// in one go; larger ones are streamed in chunks so memory stays bounded.
constexpr uint64_t kInMemoryLimit = 64ull << 20;

// Decodes entries of one libzip handle. Never writes more than the entry's declared
// size to the sink, and reports Ok only when the CRC (unless the entry has none) and
// the length match the central directory. Not thread-safe: one decoder per thread, each
// with its own handle; it never calls back into the caller of the engine.
class EntryDecoder {
public:
    explicit EntryDecoder(zip_t *zip);
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder &) = delete;
    EntryDecoder &operator=(const EntryDecoder &) = delete;

    // password: null for entries that are not encrypted.
    DecodeResult Decode(uint64_t index, const CentralEntry &entry, const char *password,
                        OutputSink &sink);

    // Unsupported when libzip cannot decode the entry's compression or encryption method
    // (so no password need be asked for it), else Ok.
    DecodeResult Check(uint64_t index, const CentralEntry &entry);

    // Entries inflated in memory in one go; the others are streamed.
    static bool FitsInMemory(const CentralEntry &entry);
    // For an entry that is not encrypted and fits in memory: the checked bytes in out
    // (resized to the entry's size on success).
    DecodeResult DecodeToMemory(uint64_t index, const CentralEntry &entry,
                                std::vector<uint8_t> &out);

private:
    DecodeResult Open(uint64_t index, const CentralEntry &entry, const char *password,
                      zip_file_t *&file);
    // Inflates the whole entry into out (at least size + 1 bytes) and checks it.
    DecodeResult Inflate(zip_file_t *file, const CentralEntry &entry, std::vector<uint8_t> &out);
    void Done();
    DecodeResult Stream(zip_file_t *file, const CentralEntry &entry, bool inflate,
                        OutputSink &sink);
    DecodeResult FinishSink(OutputSink &sink);

    zip_t *zip_;
    libdeflate_decompressor *inflater_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
};

}  // namespace tesk::unzip
