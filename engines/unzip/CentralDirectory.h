// The archive's central directory, read from the archive file into memory.
//
// libzip gives no entry's local header offset, and one name flagged UTF-8 that is not
// UTF-8 makes it refuse the whole archive, so the engine reads the directory itself:
// listing needs nothing else, and extraction uses libzip only to read (and decrypt)
// each entry's data by index, which follows the same central-directory order.
#pragma once

#include "ArchiveFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tesk::unzip {

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodBzip2 = 12;
constexpr uint16_t kMethodAes = 99;

struct CentralEntry {
    std::string name;  // UTF-8; control characters replaced by "_"
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;   // in the file (bytes before the archive included)
    uint64_t recordOffset = 0;  // of the central record in the archive
    uint32_t crc = 0;
    uint32_t externalAttributes = 0;
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;
    uint16_t storedMethod = 0;  // as in the header: 99 for AES
    uint16_t method = 0;        // the compression method proper
    uint16_t dosDate = 0;
    uint16_t dosTime = 0;
    uint16_t internalAttributes = 0;
    uint16_t rawNameLength = 0;  // the name's bytes follow the 46-byte record
    uint16_t aesVersion = 0;     // 1 or 2 for AES entries (AE-2 stores no CRC), else 0
    uint8_t aesStrength = 0;     // 1, 2, 3: AES-128, -192, -256
    uint64_t aesMethodOffset = 0;  // of the AES field's method in the file, for AES entries
    bool hasUnixTime = false;    // an exact time: NTFS field, else extended timestamp
    int64_t unixTime = 0;
    bool fromUnicodePath = false;  // the name came from a Unicode path field
    bool zip64FieldShort = false;  // a value marked as in the zip64 field is missing
    bool usesZip64Field = false;   // a size or offset came from the zip64 field
    // Flagged UTF-8 but the name (then read as CP437) or the comment is not UTF-8.
    bool utf8FlagWithoutUtf8 = false;

    bool encrypted() const { return (flags & 1) != 0; }
    bool hasDataDescriptor() const { return (flags & 8) != 0; }
    // Unix permission and type bits when the entry was made on a Unix-like system, else 0.
    uint32_t unixMode() const;
    bool isFolder() const;
    bool isSymlink() const;
    // The CRC means nothing for AE-2 entries; their authentication code protects them.
    bool crcIsChecked() const { return aesVersion != 2; }
    bool isAes() const { return aesVersion != 0; }
    // A writer may have kept only the low 32 bits of a size over 4 GiB, and nothing else:
    // then the data decodes to the recorded size plus a multiple of 4 GiB. Only deflated
    // data that could expand that far (at most 1032 times) is given the chance.
    bool mayExceedBy4GiB() const {
        return !usesZip64Field && method == kMethodDeflated &&
               compressedSize * 1032 >= size + (uint64_t{1} << 32);
    }
};

class CentralDirectory {
public:
    // Reads every central record. On failure returns false with a reason in error.
    bool Read(const ArchiveFile &archive, std::string &error);

    const std::vector<CentralEntry> &entries() const { return entries_; }
    // The stored bytes of an entry's name (rawNameLength of them), as in the directory.
    const uint8_t *RawName(const CentralEntry &entry) const {
        return records_.data() + (entry.recordOffset - offset_) + 46;
    }
    // Where the directory starts in the file.
    uint64_t offset() const { return offset_; }
    // Bytes before the archive proper, such as a self-extractor's program.
    uint64_t prefix() const { return prefix_; }
    // Where the (traditional) end record that was used lies in the file.
    uint64_t endRecord() const { return endRecord_; }
    // Whether a zip64 end record gave the directory's place.
    bool zip64() const { return zip64_; }

private:
    std::vector<CentralEntry> entries_;
    std::vector<uint8_t> records_;  // the directory's bytes
    uint64_t offset_ = 0;
    uint64_t prefix_ = 0;
    uint64_t endRecord_ = 0;
    bool zip64_ = false;
};

}  // namespace tesk::unzip
