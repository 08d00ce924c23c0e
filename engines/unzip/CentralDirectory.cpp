#include "CentralDirectory.h"

#include "ByteReader.h"
#include "TextEncoding.h"
#include "ZipTime.h"

#include <algorithm>
#include <vector>
#include <libdeflate.h>
#include <string_view>
#include <sys/stat.h>

namespace tesk::unzip {
namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint64_t kEndSize = 22;
constexpr uint64_t kCentralSize = 46;

constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraNtfs = 0x000a;
constexpr uint16_t kExtraTimestamp = 0x5455;
constexpr uint16_t kExtraUnicodePath = 0x7075;
constexpr uint16_t kExtraAes = 0x9901;

struct DirectoryLocation {
    uint64_t entries = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t end = 0;  // where the directory must end: the first end record
    uint64_t prefix = 0;  // bytes before the archive proper (a self-extractor's program)
    uint64_t record = 0;  // the traditional end record
};

// The four bytes at offset, or 0 when they cannot be read.
uint32_t Peek32(const ArchiveFile &file, uint64_t offset) {
    uint8_t bytes[4];
    return file.ReadAt(offset, bytes, sizeof bytes) ? Le32(bytes) : 0;
}

// Locates the directory an end record at offset end describes; false with a reason when it
// does not check out (outside the file, no central record where it should start).
bool LocateFrom(const ArchiveFile &file, const uint8_t *record, uint64_t end,
                const uint8_t *locator, DirectoryLocation &where, std::string &error) {
    const uint64_t size = file.size();
    where = {};
    where.entries = Le16(record + 10);
    where.size = Le32(record + 12);
    where.offset = Le32(record + 16);
    where.end = end;
    where.record = end;
    bool zip64 = false;
    uint64_t zip64Prefix = 0;
    if (locator && Le32(locator) == kZip64LocatorSignature) {
        uint64_t zip64End = Le64(locator + 8);
        // With bytes before the archive, the record sits right before its locator instead,
        // and the directory must be as far from where its end record says.
        if ((zip64End >= end || Peek32(file, zip64End) != kZip64EndSignature) && end >= 20 + 56 &&
            Peek32(file, end - 20 - 56) == kZip64EndSignature && zip64End < end - 20 - 56) {
            zip64Prefix = end - 20 - 56 - zip64End;
            zip64End = end - 20 - 56;
        }
        uint8_t record64[56];
        if (zip64End > end - 20 || end - 20 - zip64End < 56 ||
            !file.ReadAt(zip64End, record64, sizeof record64) ||
            Le32(record64) != kZip64EndSignature) {
            error = "corrupt zip64 end record";
            return false;
        }
        // A valid zip64 record wins over whatever the traditional one holds.
        if (Le32(record64 + 16) != 0 || Le32(record64 + 20) != 0 || Le32(locator + 4) != 0 ||
            Le32(locator + 16) > 1) {
            error = "archives split over several files are not supported";
            return false;
        }
        where.entries = Le64(record64 + 32);
        where.size = Le64(record64 + 40);
        where.offset = Le64(record64 + 48);
        where.end = zip64End;
        zip64 = true;
    }
    if (!zip64 && (Le16(record + 4) != 0 || Le16(record + 6) != 0)) {
        error = "archives split over several files are not supported";
        return false;
    }
    // Offsets count from the archive's start; with bytes before it, the directory is found
    // where it must end instead, and every offset moves by the difference.
    if (where.size > 0 && where.size <= where.end &&
        (where.offset >= size - 4 || Peek32(file, where.offset) != kCentralSignature) &&
        where.end - where.size > where.offset &&
        Peek32(file, where.end - where.size) == kCentralSignature) {
        where.prefix = where.end - where.size - where.offset;
        where.offset += where.prefix;
    }
    if (where.offset > where.end || where.size > where.end - where.offset) {
        error = "central directory lies outside the archive";
        return false;
    }
    if (zip64 && where.prefix != zip64Prefix) {
        error = "corrupt zip64 end record";
        return false;
    }
    if (where.entries > 0 && Peek32(file, where.offset) != kCentralSignature) {
        error = "corrupt central directory";
        return false;
    }
    return true;
}

// The last end record whose directory checks out. Its comment may run past the end of the
// file (a cut comment loses nothing); an earlier record, such as one inside an entry's
// data, counts only when the later ones do not check out.
bool FindDirectory(const ArchiveFile &file, DirectoryLocation &where, std::string &error) {
    const uint64_t size = file.size();
    // The end record lies in the last 64 KiB (its comment's longest) plus its own size;
    // the zip64 locator and end record may come right before it.
    const uint64_t lowest = size > kEndSize + 0xFFFF ? size - kEndSize - 0xFFFF : 0;
    const uint64_t tailStart = lowest > 20 + 56 ? lowest - 20 - 56 : 0;
    std::vector<uint8_t> tail(static_cast<size_t>(size - tailStart));
    if (!file.ReadAt(tailStart, tail.data(), tail.size())) {
        error = "cannot read the archive";
        return false;
    }
    // The tail's bytes by file offset (at least tailStart).
    auto at = [&](uint64_t offset) { return tail.data() + (offset - tailStart); };
    std::string firstError;
    for (uint64_t end = size - kEndSize + 1; end-- > lowest;) {
        if (Le32(at(end)) != kEndSignature) continue;
        std::string reason;
        if (LocateFrom(file, at(end), end, end >= tailStart + 20 ? at(end - 20) : nullptr, where,
                       reason))
            return true;
        if (firstError.empty()) firstError = reason;
    }
    error = firstError.empty() ? "not a zip archive" : firstError;
    return false;
}

// Unix seconds of an NTFS time (100 ns steps since 1601).
int64_t UnixFromNtfs(uint64_t ticks) {
    constexpr int64_t kSecondsFrom1601 = 11644473600;
    return static_cast<int64_t>(ticks / 10000000) - kSecondsFrom1601;
}

// The modification time of an NTFS field: the first attribute of tag 1, when present.
bool NtfsModificationTime(const uint8_t *field, uint16_t size, int64_t &time) {
    uint16_t pos = 4;  // reserved
    while (pos + 4u <= size) {
        const uint16_t tag = Le16(field + pos);
        const uint16_t length = Le16(field + pos + 2);
        pos = static_cast<uint16_t>(pos + 4);
        if (pos + length > size) return false;
        if (tag == 1 && length >= 8) {
            time = UnixFromNtfs(Le64(field + pos));
            return true;
        }
        pos = static_cast<uint16_t>(pos + length);
    }
    return false;
}

// Fills what the extra fields tell about the entry; returns the Unicode path, if any.
// extraOffset: where the fields lie in the file.
std::string ReadExtraFields(const uint8_t *extra, uint16_t length, uint64_t extraOffset,
                            std::string_view rawName, CentralEntry &entry) {
    std::string unicodePath;
    bool ntfsTime = false;
    uint16_t pos = 0;
    while (pos + 4u <= length) {
        const uint16_t id = Le16(extra + pos);
        const uint16_t size = Le16(extra + pos + 2);
        const uint8_t *field = extra + pos + 4;
        const uint64_t fieldOffset = extraOffset + pos + 4;
        if (pos + 4u + size > length) break;
        pos = static_cast<uint16_t>(pos + 4 + size);
        if (id == kExtraZip64) {
            uint16_t at = 0;
            auto take = [&](uint64_t &value) {
                if (at + 8u > size) {
                    entry.zip64FieldShort = true;
                    return;
                }
                value = Le64(field + at);
                at = static_cast<uint16_t>(at + 8);
                entry.usesZip64Field = true;
            };
            if (entry.size == 0xFFFFFFFFu) take(entry.size);
            if (entry.compressedSize == 0xFFFFFFFFu) take(entry.compressedSize);
            if (entry.localOffset == 0xFFFFFFFFu) take(entry.localOffset);
        } else if (id == kExtraAes && size >= 7 && entry.encrypted() &&
                   entry.storedMethod == kMethodAes) {
            // Only an encrypted entry is described by it: on any other it would switch the
            // CRC check off and replace the method of data that was never encrypted.
            entry.aesVersion = Le16(field);
            entry.aesStrength = field[4];
            entry.method = Le16(field + 5);
            entry.aesMethodOffset = fieldOffset + 5;
        } else if (id == kExtraTimestamp && size >= 5 && (field[0] & 1) && !ntfsTime) {
            entry.hasUnixTime = true;
            entry.unixTime = static_cast<int32_t>(Le32(field + 1));  // signed: before 1970 too
        } else if (id == kExtraNtfs && size >= 4) {
            int64_t time = 0;
            if (NtfsModificationTime(field, size, time)) {
                entry.hasUnixTime = ntfsTime = true;
                entry.unixTime = time;
            }
        } else if (id == kExtraUnicodePath && size >= 5 && field[0] == 1 &&
                   Le32(field + 1) == libdeflate_crc32(0, rawName.data(), rawName.size())) {
            std::string_view text(reinterpret_cast<const char *>(field + 5), size - 5u);
            if (IsValidUtf8(text)) unicodePath.assign(text);
        }
    }
    return unicodePath;
}

// Whether names without the UTF-8 flag were written in a DOS code page: by DOS, Windows or
// OS/2 tools (or a host left 0). Other hosts wrote the bytes of their own file names.
bool HostUsesDosCodePage(uint16_t versionMadeBy) {
    switch (versionMadeBy >> 8) {
    case 0:   // MS-DOS, FAT
    case 6:   // OS/2 HPFS
    case 10:  // Windows NTFS
    case 14:  // VFAT
        return true;
    default: return false;
    }
}

// UTF-8 when flagged and valid, then the Unicode path field; without either, the raw bytes
// as they are when valid UTF-8 or when the host does not use a DOS code page, else code
// page 437.
std::string DecodeName(std::string_view raw, std::string unicodePath, CentralEntry &entry) {
    std::string name;
    if (entry.flags & 0x800) {
        if (IsValidUtf8(raw))
            name.assign(raw);
        else {
            entry.utf8FlagWithoutUtf8 = true;
            name = Cp437ToUtf8(raw);
        }
    } else if (!unicodePath.empty()) {
        name = std::move(unicodePath);
        entry.fromUnicodePath = true;
    } else if (IsValidUtf8(raw) || !HostUsesDosCodePage(entry.versionMadeBy)) {
        name.assign(raw);
    } else {
        name = Cp437ToUtf8(raw);
    }
    // A NUL or control character must never reach a file name or a C string.
    for (char &c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return name;
}

}  // namespace

uint32_t CentralEntry::unixMode() const {
    const int host = versionMadeBy >> 8;
    constexpr int kHostUnix = 3;
    constexpr int kHostMacOsX = 19;
    if (host != kHostUnix && host != kHostMacOsX) return 0;
    return externalAttributes >> 16;
}

bool CentralEntry::isFolder() const {
    constexpr uint32_t kDosFolder = 0x10;
    if (!name.empty() && name.back() == '/') return true;
    const uint32_t mode = unixMode();
    if (mode != 0) return S_ISDIR(mode);
    // Old DOS and Windows tools mark a folder by its attribute alone; one holding data stays
    // a file, so that nothing is lost.
    return (externalAttributes & kDosFolder) && size == 0 && compressedSize == 0;
}

bool CentralEntry::isSymlink() const { return !isFolder() && S_ISLNK(unixMode()); }

bool CentralDirectory::Read(const ArchiveFile &archive, std::string &error) {
    DirectoryLocation where;
    if (!FindDirectory(archive, where, error)) return false;
    offset_ = where.offset;
    prefix_ = where.prefix;
    endRecord_ = where.record;
    zip64_ = where.end != where.record;
    // The directory lies within the file, so a hostile size costs at most the file's size.
    records_.resize(static_cast<size_t>(where.size));
    if (!archive.ReadAt(where.offset, records_.data(), records_.size())) {
        error = "cannot read the central directory";
        return false;
    }
    entries_.clear();
    entries_.reserve(static_cast<size_t>(std::min(where.entries, where.size / kCentralSize)));
    const uint64_t end = where.offset + where.size;
    uint64_t pos = where.offset;
    for (uint64_t i = 0; i < where.entries; ++i) {
        if (end - pos < kCentralSize || Le32(records_.data() + (pos - where.offset)) != kCentralSignature) {
            error = "corrupt central directory";
            return false;
        }
        const uint8_t *record = records_.data() + (pos - where.offset);
        const uint16_t nameLength = Le16(record + 28);
        const uint16_t extraLength = Le16(record + 30);
        const uint16_t commentLength = Le16(record + 32);
        const uint64_t recordSize = kCentralSize + nameLength + extraLength + commentLength;
        if (end - pos < recordSize) {
            error = "corrupt central directory";
            return false;
        }
        CentralEntry entry;
        entry.recordOffset = pos;
        entry.versionMadeBy = Le16(record + 4);
        entry.flags = Le16(record + 8);
        entry.storedMethod = entry.method = Le16(record + 10);
        entry.dosTime = Le16(record + 12);
        entry.dosDate = Le16(record + 14);
        entry.crc = Le32(record + 16);
        entry.compressedSize = Le32(record + 20);
        entry.size = Le32(record + 24);
        entry.internalAttributes = Le16(record + 36);
        entry.externalAttributes = Le32(record + 38);
        entry.localOffset = Le32(record + 42);
        entry.rawNameLength = nameLength;
        const std::string_view rawName(reinterpret_cast<const char *>(record + kCentralSize),
                                       nameLength);
        std::string unicodePath = ReadExtraFields(record + kCentralSize + nameLength, extraLength,
                                                  pos + kCentralSize + nameLength, rawName, entry);
        if (entry.zip64FieldShort) {
            error = "corrupt zip64 extra field";
            return false;
        }
        entry.localOffset += where.prefix;
        entry.name = DecodeName(rawName, std::move(unicodePath), entry);
        // libzip holds the entry comment to the flag as well.
        const std::string_view comment(
            reinterpret_cast<const char *>(record + kCentralSize + nameLength + extraLength),
            commentLength);
        if ((entry.flags & 0x800) && !IsValidUtf8(comment)) entry.utf8FlagWithoutUtf8 = true;
        entries_.push_back(std::move(entry));
        pos += recordSize;
    }
    // More records than the end record counts: listing, testing and extraction must not
    // see different archives, so every reader refuses it alike.
    if (pos != end && end - pos >= 4 && Le32(records_.data() + (pos - where.offset)) == kCentralSignature) {
        error = "the end record counts fewer entries than the central directory holds";
        return false;
    }
    return true;
}

}  // namespace tesk::unzip
