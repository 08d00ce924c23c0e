#include "EntryMetadata.h"

#include "ZipTime.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tesk::zip {
namespace {

constexpr zip_uint16_t kExtendedTimestamp = 0x5455;
constexpr zip_uint32_t kDosDirectory = 0x10;

}  // namespace

std::time_t DosRangeTime(std::time_t mtime) {
    const auto first = static_cast<std::time_t>(UnixFromLocalCalendar({1980, 1, 1, 0, 0, 0}));
    const auto last = static_cast<std::time_t>(UnixFromLocalCalendar({2107, 12, 31, 23, 59, 58}));
    return std::clamp(mtime, first, last);
}

bool FitsExtendedTimestamp(std::time_t mtime) {
    return mtime >= std::numeric_limits<int32_t>::min() && mtime <= std::numeric_limits<int32_t>::max();
}

bool SetEntryMetadata(zip_t *archive, zip_uint64_t index, const struct stat &info, bool isDir,
                      bool replacing, int level, const std::string *password,
                      std::string &error) {
    auto failed = [&]() {
        error = zip_strerror(archive);
        return false;
    };
    const zip_uint32_t attributes =
        (static_cast<zip_uint32_t>(info.st_mode) & 0xFFFF) << 16 | (isDir ? kDosDirectory : 0);
    if (zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, attributes) != 0)
        return failed();

    if (replacing &&
        zip_file_extra_field_delete(archive, index, ZIP_EXTRA_FIELD_ALL, ZIP_FL_LOCAL | ZIP_FL_CENTRAL) != 0)
        return failed();
    const std::time_t mtime = info.st_mtime;
    if (FitsExtendedTimestamp(mtime)) {
        const auto t = static_cast<uint32_t>(static_cast<int32_t>(mtime));
        const zip_uint8_t field[5] = {1,  // flags: modification time only
                                      static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
                                      static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
        if (zip_file_extra_field_set(archive, index, kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, field,
                                     sizeof field, ZIP_FL_LOCAL | ZIP_FL_CENTRAL) != 0)
            return failed();
    }

    const bool store = isDir || level == 0;
    if (zip_set_file_compression(archive, index, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 store ? 0 : static_cast<zip_uint32_t>(level)) != 0)
        return failed();

    if (!isDir && password) {
        if (zip_file_set_encryption(archive, index, ZIP_EM_TRAD_PKWARE, password->c_str()) != 0)
            return failed();
    } else if (replacing) {
        if (zip_file_set_encryption(archive, index, ZIP_EM_NONE, nullptr) != 0) return failed();
    }
    return true;
}

}  // namespace tesk::zip
