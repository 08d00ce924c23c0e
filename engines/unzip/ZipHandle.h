// A libzip handle over the archive file, used only to read (and decrypt) entry data.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"

#include <string>
#include <zip.h>

namespace tesk::unzip {

// Changes, as libzip reads them only, the bytes where libzip would judge the archive
// otherwise than the engine's own reading of it: the UTF-8 flag of central records whose
// name or comment is not UTF-8 (libzip refuses a whole archive for one such text, and the
// engine decodes names itself; opened without consistency checks, libzip never parses local
// header names), the method of stored AE-2 entries, and the end record: its comment length
// and, with a zip64 end record, the traditional fields that record replaces.
void PrepareForLibzip(ArchiveFile &archive, const CentralDirectory &directory);

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
