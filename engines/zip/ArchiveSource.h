// The archive file as libzip sees it: the old archive read with pread, the new one
// written through a ReplacementFile.
#pragma once

#include <string>
#include <zip.h>

namespace tesk::zip {

// A libzip source over path for zip_open_from_source; null with error set on failure.
// libzip owns the source once the archive is open.
zip_source_t *CreateArchiveSource(const std::string &path, zip_error_t *error);

}  // namespace tesk::zip
