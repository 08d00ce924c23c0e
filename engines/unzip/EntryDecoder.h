// Decoding of one entry's data: decryption through libzip, inflation with libdeflate (in
// memory) or zlib (streamed), the other methods through MakeMethodDecoder (streamed), and
// the checks that libzip skips on that path.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"
#include "OutputSink.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <zip.h>

struct libdeflate_decompressor;

namespace tesk::unzip {

class MethodDecoder;

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
    // Ok, but the data was longer than recorded by this many bytes (a multiple of 4 GiB).
    uint64_t beyondRecordedSize = 0;
};

// Detail of a SizeMismatch of data decoded in memory that ran past its recorded size and
// may be longer by whole 4 GiB: only decoding it as a stream tells.
extern const char *const kMayBeLonger;

// Entries whose size and compressed size both stay within this are inflated in memory
// in one go; larger ones are streamed in chunks so memory stays bounded.
constexpr uint64_t kInMemoryLimit = 64ull << 20;
// Larger deflated entries written to a file of their own may still be inflated in one go
// (into the mapped file) when their compressed data stays within this: up to three times
// faster than streaming, at the cost of holding the compressed data. Larger ones gain
// little: faulting in that much fresh memory costs about what the faster inflater saves.
constexpr uint64_t kMappedInflateLimit = 128ull << 20;

// Decodes entries of one archive. Plain (not encrypted) stored and deflated entries are
// read straight from the archive file, the others through a libzip handle. Never writes more
// than the entry's declared size to the sink, and reports Ok only when the CRC (unless the
// entry has none) and the length match the central directory. Not thread-safe: one decoder
// per thread; only one with a handle may decode entries that need libzip. It never calls
// back into the caller of the engine.
class EntryDecoder {
public:
    // zip (null for a decoder of plain entries only) must read archive.
    EntryDecoder(zip_t *zip, const ArchiveFile &archive);
    ~EntryDecoder();
    EntryDecoder(const EntryDecoder &) = delete;
    EntryDecoder &operator=(const EntryDecoder &) = delete;

    // Unsupported when libzip cannot decode the entry's compression or encryption method
    // (so no password need be asked for it), else Ok.
    DecodeResult Check(uint64_t index, const CentralEntry &entry);
    // dataStart: where the entry's data begins in the archive. password: null for entries
    // that are not encrypted.
    // streamOnly: never decode in memory.
    DecodeResult Decode(uint64_t index, const CentralEntry &entry, uint64_t dataStart,
                        const char *password, OutputSink &sink, bool streamOnly = false);

    // Entries inflated in memory in one go; the others are streamed.
    static bool FitsInMemory(const CentralEntry &entry);
    // Entries read from the archive file without libzip.
    static bool ReadsRaw(const CentralEntry &entry);
    // Entries whose method the engine decodes itself: libzip gives their bytes as stored
    // (decrypted when need be).
    static bool ReadsCompressed(const CentralEntry &entry);
    // For an entry that is not encrypted and fits in memory: the checked bytes in out
    // (resized to the entry's size on success).
    DecodeResult DecodeToMemory(const CentralEntry &entry, uint64_t dataStart,
                                std::vector<uint8_t> &out);
    // For an entry that is not encrypted: its checked bytes into the empty file fd, opened
    // for reading and writing and never seen by anyone else. When streamed, the bytes also
    // go to progress, whose failure stops the work. Sizes and CRC are checked as by Decode.
    // mayMap: the entry may be inflated in one go (InflatesMapped), holding its compressed data.
    DecodeResult DecodeToFile(const CentralEntry &entry, uint64_t dataStart, int fd,
                              OutputSink &progress, bool mayMap);
    static bool InflatesMapped(const CentralEntry &entry);

private:
    DecodeResult Open(uint64_t index, const CentralEntry &entry, const char *password,
                      zip_file_t *&file);
    // Gives the next piece of the entry's raw data: its length, 0 at the end, -1 on failure.
    using NextInput = std::function<int64_t(const uint8_t *&data)>;

    DecodeResult DecodeRaw(const CentralEntry &entry, uint64_t dataStart, OutputSink &sink,
                           bool streamOnly);
    // Inflates the whole entry into out (at least size + 1 bytes) and checks it.
    DecodeResult Inflate(zip_file_t *file, const CentralEntry &entry, std::vector<uint8_t> &out);
    // The same from the entry's raw data in the archive file.
    DecodeResult InflateAt(uint64_t dataStart, const CentralEntry &entry,
                           std::vector<uint8_t> &out);
    // out: room for the entry's size.
    DecodeResult InflateBytes(const uint8_t *input, uint64_t inputLength, const CentralEntry &entry,
                              uint8_t *out);
    // Inflates in one go straight into the file fd, mapped; nothing when the file system
    // cannot reserve the space or map it (the caller streams instead).
    std::optional<DecodeResult> InflateIntoFile(const CentralEntry &entry, uint64_t dataStart,
                                                int fd);
    void Done();
    // compressed: the data still needs decompressing (stored, deflated or BZip2).
    DecodeResult Stream(const NextInput &next, const CentralEntry &entry, bool compressed,
                        OutputSink &sink);
    // Stream for the methods of MakeMethodDecoder, with the same checks.
    DecodeResult StreamMethod(const NextInput &next, const CentralEntry &entry,
                              MethodDecoder &decoder, OutputSink &sink);
    DecodeResult FinishSink(OutputSink &sink);

    zip_t *zip_;
    const ArchiveFile &archive_;
    libdeflate_decompressor *inflater_;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
};

}  // namespace tesk::unzip
