// Listing: one EntryCallback per central record, reading no entry data.
#pragma once

#include "CentralDirectory.h"
#include "vbuzip10.h"

#include <cstdint>

namespace tesk::unzip {

// Name of a compression method ("Stored", "Deflated", ..., "Method 97" for others).
const char *MethodName(uint16_t method);

// compressedSize * 100 / size toward zero, 0 for an empty entry, within 0..32767.
int32_t CompressionRatio(uint64_t compressedSize, uint64_t size);

void ListEntries(const CentralDirectory &directory, UzEntryCallback callback);

}  // namespace tesk::unzip
