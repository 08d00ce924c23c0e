// What an entry carries besides its data: permissions, exact time, method, encryption.
#pragma once

#include <ctime>
#include <string>
#include <sys/stat.h>
#include <zip.h>

namespace tesk::zip {

// Sets, on a new or replaced entry: the Unix mode in the external attributes (folders also
// with the DOS folder bit), the extended timestamp extra field 0x5455 (local and central),
// the method (stored at level 0, else deflate at that level; a source may still ask for
// stored later) and, for files, ZipCrypto with the password (none when password is null).
// A replaced entry loses the extra fields of its old version. The DOS time comes from the
// source's STAT: zip_file_set_mtime would make a ZipCrypto entry unreadable.
bool SetEntryMetadata(zip_t *archive, zip_uint64_t index, const struct stat &info, bool isDir,
                      bool replacing, int level, const std::string *password,
                      std::string &error);

}  // namespace tesk::zip
