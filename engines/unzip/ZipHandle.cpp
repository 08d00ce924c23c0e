#include "ZipHandle.h"

namespace tesk::unzip {

void ClearFalseUtf8Flags(ArchiveMap &archive, const CentralDirectory &directory) {
    constexpr uint8_t kUtf8FlagHighByte = 0x08;  // bit 11 of the flags field
    uint8_t *data = archive.mutableData();
    for (const CentralEntry &entry : directory.entries()) {
        if (!entry.utf8FlagWithoutUtf8) continue;
        data[entry.recordOffset + 9] &= static_cast<uint8_t>(~kUtf8FlagHighByte);
    }
}

ZipHandle::~ZipHandle() {
    if (zip_) zip_discard(zip_);
}

bool ZipHandle::Open(const ArchiveMap &archive, const CentralDirectory &directory,
                     std::string &error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    // libzip takes offsets from the start of what it reads: skip any bytes before the archive.
    zip_source_t *source = zip_source_buffer_create(archive.data() + directory.prefix(),
                                                    archive.size() - directory.prefix(), 0, &zipError);
    if (source) {
        zip_ = zip_open_from_source(source, ZIP_RDONLY, &zipError);
        if (!zip_) zip_source_free(source);
    }
    if (!zip_) {
        error = zip_error_strerror(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    zip_error_fini(&zipError);
    if (zip_get_num_entries(zip_, 0) != static_cast<zip_int64_t>(directory.entries().size())) {
        error = "inconsistent central directory";
        zip_discard(zip_);
        zip_ = nullptr;
        return false;
    }
    return true;
}

}  // namespace tesk::unzip
