#include "EntryValidation.h"

#include "ByteReader.h"

#include <algorithm>
#include <cstring>
#include <libdeflate.h>
#include <string_view>

namespace tesk::unzip {
namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint64_t kLocalSize = 30;

struct Span {
    uint64_t begin;
    uint64_t end;
    size_t index;
};

bool SameField(uint32_t local, uint64_t central) {
    return local == 0xFFFFFFFFu || local == central;
}

// The UTF-8 name of a Unicode path field among extra fields, when its CRC matches the
// header's name; else empty.
std::string_view UnicodePath(const uint8_t *extra, uint16_t length, const uint8_t *name,
                             uint16_t nameLength) {
    constexpr uint16_t kExtraUnicodePath = 0x7075;
    for (uint32_t pos = 0; pos + 4 <= length;) {
        const uint16_t id = Le16(extra + pos);
        const uint16_t size = Le16(extra + pos + 2);
        if (pos + 4 + size > length) break;
        const uint8_t *field = extra + pos + 4;
        if (id == kExtraUnicodePath && size >= 5 && field[0] == 1 &&
            Le32(field + 1) == libdeflate_crc32(0, name, nameLength))
            return {reinterpret_cast<const char *>(field + 5), size - 5u};
        pos += 4 + size;
    }
    return {};
}

// The local name is the central one: byte for byte, or (a writer may encode the two headers'
// names differently) through both headers' Unicode path fields.
bool SameName(ArchiveWindow &window, const CentralDirectory &directory, const CentralEntry &entry,
              const uint8_t *local, uint16_t nameLength, uint16_t extraLength) {
    if (nameLength == entry.rawNameLength &&
        std::memcmp(local + kLocalSize, directory.RawName(entry), nameLength) == 0)
        return true;
    const uint8_t *whole = window.View(entry.localOffset, kLocalSize + nameLength + extraLength);
    if (!whole) return false;
    const std::string_view path = UnicodePath(whole + kLocalSize + nameLength, extraLength,
                                              whole + kLocalSize, nameLength);
    return !path.empty() && entry.fromUnicodePath && path == entry.name;
}

EntryFault CheckLocalHeader(ArchiveWindow &window, const CentralDirectory &directory,
                            const CentralEntry &entry, Span &span, uint64_t &dataStartOut) {
    const uint64_t areaEnd = directory.offset();
    if (entry.localOffset > areaEnd || areaEnd - entry.localOffset < kLocalSize)
        return EntryFault::OutsideArchive;
    const uint8_t *local = window.View(entry.localOffset, kLocalSize + entry.rawNameLength);
    if (!local) return EntryFault::OutsideArchive;  // the file shrank since it was opened
    if (Le32(local) != kLocalSignature) return EntryFault::HeaderMismatch;
    const uint16_t flags = Le16(local + 6);
    const uint16_t nameLength = Le16(local + 26);
    const uint64_t dataStart = entry.localOffset + kLocalSize + nameLength + Le16(local + 28);
    if (dataStart > areaEnd || areaEnd - dataStart < entry.compressedSize)
        return EntryFault::OutsideArchive;
    if (Le16(local + 8) != entry.storedMethod || (flags & 1) != (entry.flags & 1))
        return EntryFault::HeaderMismatch;
    // Copied: a second view may replace the buffer local points into.
    uint8_t header[kLocalSize];
    std::memcpy(header, local, kLocalSize);
    if (!SameName(window, directory, entry, local, nameLength, Le16(local + 28)))
        return EntryFault::HeaderMismatch;
    local = header;
    if (!(flags & 8) && (Le32(local + 14) != entry.crc ||
                         !SameField(Le32(local + 18), entry.compressedSize) ||
                         !SameField(Le32(local + 22), entry.size)))
        return EntryFault::HeaderMismatch;
    span = {entry.localOffset, dataStart + entry.compressedSize, 0};
    dataStartOut = dataStart;
    return EntryFault::None;
}

}  // namespace

const char *EntryFaultText(EntryFault fault) {
    switch (fault) {
    case EntryFault::None: return "no fault";
    case EntryFault::OutsideArchive: return "entry data lies outside the archive";
    case EntryFault::HeaderMismatch: return "local header disagrees with the central directory";
    case EntryFault::Overlap: return "entry overlaps another entry";
    }
    return "corrupt entry";
}

std::vector<EntryCheck> ValidateEntries(const ArchiveFile &archive,
                                        const CentralDirectory &directory) {
    ArchiveWindow window(archive);
    const auto &entries = directory.entries();
    std::vector<EntryCheck> checks(entries.size());
    std::vector<Span> spans;
    spans.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        Span span{};
        checks[i].fault =
            CheckLocalHeader(window, directory, entries[i], span, checks[i].dataStart);
        if (checks[i].fault == EntryFault::None) {
            span.index = i;
            spans.push_back(span);
        }
    }
    // Sorted by start, an entry overlaps when it starts before the furthest end so far;
    // the entry owning that end is marked too, so both sides of every overlap are.
    std::sort(spans.begin(), spans.end(),
              [](const Span &a, const Span &b) { return a.begin < b.begin; });
    uint64_t furthestEnd = 0;
    size_t furthestOwner = 0;
    for (size_t k = 0; k < spans.size(); ++k) {
        if (k > 0 && spans[k].begin < furthestEnd) {
            checks[spans[k].index].fault = EntryFault::Overlap;
            checks[furthestOwner].fault = EntryFault::Overlap;
        }
        if (k == 0 || spans[k].end > furthestEnd) {
            furthestEnd = spans[k].end;
            furthestOwner = spans[k].index;
        }
    }
    return checks;
}

}  // namespace tesk::unzip
