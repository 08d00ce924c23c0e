// A libzip handle over the mapped archive, used only to read (and decrypt) entry data.
#pragma once

#include "ArchiveMap.h"
#include "CentralDirectory.h"

#include <string>
#include <zip.h>

namespace tesk::unzip {

// Clears the UTF-8 flag, in the mapping only, of central records whose name or comment
// is not UTF-8: libzip refuses a whole archive for one such text, and the engine decodes
// names itself. (Opened without consistency checks, libzip never parses local header names.)
void ClearFalseUtf8Flags(ArchiveMap &archive, const CentralDirectory &directory);

// One zip_t reading the mapping. Each thread that reads entries needs its own handle;
// handles over the same mapping read correctly in parallel.
class ZipHandle {
public:
    ZipHandle() = default;
    ~ZipHandle();
    ZipHandle(const ZipHandle &) = delete;
    ZipHandle &operator=(const ZipHandle &) = delete;

    // Opens read-only, from the archive proper on; the handle must see as many entries as
    // the directory holds.
    bool Open(const ArchiveMap &archive, const CentralDirectory &directory, std::string &error);
    zip_t *get() const { return zip_; }

private:
    zip_t *zip_ = nullptr;
};

}  // namespace tesk::unzip
