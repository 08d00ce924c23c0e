#include "Listing.h"

#include "ZipTime.h"

namespace tesk::unzip {

const char *MethodName(uint16_t method) {
    switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 2: case 3: case 4: case 5: return "Reduced";
    case 6: return "Imploded";
    case 8: return "Deflated";
    case 9: return "Deflate64";
    case 10: return "PKImplode";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "XZ";
    case 96: return "JPEG";
    case 97: return "WavPack";
    case 98: return "PPMd";
    case 99: return "AES";  // only when the AES field naming the real method is missing
    default: return "Unknown";
    }
}

int32_t CompressionRatio(uint64_t compressedSize, uint64_t size) {
    if (size == 0) return 0;
    constexpr uint64_t kMax = 32767;
    // Header values can be anything up to 2^64: keep the product from overflowing.
    const long double ratio =
        compressedSize <= UINT64_MAX / 100
            ? static_cast<long double>(compressedSize * 100 / size)
            : static_cast<long double>(compressedSize) * 100 / static_cast<long double>(size);
    return ratio >= kMax ? static_cast<int32_t>(kMax) : static_cast<int32_t>(ratio);
}

void ListEntries(const CentralDirectory &directory, UzEntryCallback callback) {
    if (!callback) return;
    for (const CentralEntry &entry : directory.entries()) {
        const CalendarTime when = entry.hasUnixTime ? LocalCalendarFromUnix(entry.unixTime)
                                                    : CalendarFromDos(entry.dosDate, entry.dosTime);
        callback(entry.compressedSize, entry.size,
                 CompressionRatio(entry.compressedSize, entry.size), when.year, when.month,
                 when.day, when.hour, when.minute, when.second, entry.name.c_str(),
                 MethodName(entry.method), entry.crc, entry.encrypted() ? UZ_ENTRY_ENCRYPTED : 0);
    }
}

}  // namespace tesk::unzip
