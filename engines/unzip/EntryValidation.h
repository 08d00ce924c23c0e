// Checks of each entry's local header and data area against the central directory.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"

#include <cstdint>
#include <vector>

namespace tesk::unzip {

enum class EntryFault {
    None,
    OutsideArchive,  // local header or data beyond the archive's entry area
    HeaderMismatch,  // local header disagrees with the central record
    Overlap,         // data area shared with another entry
};

const char *EntryFaultText(EntryFault fault);

struct EntryCheck {
    EntryFault fault = EntryFault::None;
    uint64_t dataStart = 0;  // where the entry's data begins, when there is no fault
};

// One check per central entry, same order. Reads only headers, never entry data.
std::vector<EntryCheck> ValidateEntries(const ArchiveFile &archive,
                                        const CentralDirectory &directory);

}  // namespace tesk::unzip
