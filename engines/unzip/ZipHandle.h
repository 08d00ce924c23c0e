// A libzip handle over the archive file, used only to read (and decrypt) entry data.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"

#include <string>
#include <zip.h>

namespace tesk::unzip {

// Clears the UTF-8 flag, as libzip reads it only, of central records whose name or comment
// is not UTF-8: libzip refuses a whole archive for one such text, and the engine decodes
// names itself. (Opened without consistency checks, libzip never parses local header names.)
void ClearFalseUtf8Flags(ArchiveFile &archive, const CentralDirectory &directory);

// One zip_t reading the archive file through a source of its own. Each thread that reads
// entries needs its own handle; handles over the same file read correctly in parallel.
class ZipHandle {
public:
    ZipHandle() = default;
    ~ZipHandle();
    ZipHandle(const ZipHandle &) = delete;
    ZipHandle &operator=(const ZipHandle &) = delete;

    // Opens read-only, from the archive proper on; the handle must see as many entries as
    // the directory holds.
    bool Open(const ArchiveFile &archive, const CentralDirectory &directory, std::string &error);
    zip_t *get() const { return zip_; }

private:
    zip_t *zip_ = nullptr;
};

}  // namespace tesk::unzip
