// What an entry carries besides its data: permissions, exact time, method, encryption.
#pragma once

#include <ctime>
#include <string>
#include <sys/stat.h>
#include <zip.h>

namespace tesk::zip {

// The time the DOS date and time fields can hold: 1980-01-01 00:00:00 to 2107-12-31
// 23:59:58 local time. A time outside is clamped to the nearer end, where libzip would wrap it.
std::time_t DosRangeTime(std::time_t mtime);

// True when the extended timestamp (signed 32-bit seconds: 1901-12-13 to 2038-01-19)
// holds the time exactly.
bool FitsExtendedTimestamp(std::time_t mtime);

// Sets, on a new or replaced entry: the Unix mode in the external attributes (folders also
// with the DOS folder bit; this also makes "version made by" Unix, so that readers take a
// name without the UTF-8 flag as the bytes it is), the extended timestamp extra field 0x5455
// (local and central) when the time fits it,
// the method (stored at level 0, else deflate at that level; a source may still ask for
// stored later) and, for files, ZipCrypto with the password (none when password is null).
// A replaced entry loses the extra fields of its old version. The DOS time comes from the
// source's STAT: zip_file_set_mtime would make a ZipCrypto entry unreadable.
bool SetEntryMetadata(zip_t *archive, zip_uint64_t index, const struct stat &info, bool isDir,
                      bool replacing, int level, const std::string *password,
                      std::string &error);

}  // namespace tesk::zip
