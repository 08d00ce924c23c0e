#include "ZipHandle.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tesk::unzip {
namespace {

// A seekable libzip source over [start, start + length) of the archive file, with the
// file's read masks applied. A read that the file cannot satisfy (it shrank) is an error,
// never a short success. Small reads (headers) are served from a block read ahead, so
// that walking many small entries costs few system calls.
class FileRangeSource {
public:
    FileRangeSource(const ArchiveFile &file, uint64_t start, uint64_t length)
        : file_(file), start_(start), length_(length) {
        zip_error_init(&error_);
    }

    static zip_int64_t Callback(void *self, void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
        return static_cast<FileRangeSource *>(self)->Handle(data, len, cmd);
    }

private:
    static constexpr size_t kSmallRead = 4096;
    static constexpr size_t kBlock = 64u << 10;

    zip_int64_t Handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
        case ZIP_SOURCE_OPEN: position_ = 0; return 0;
        case ZIP_SOURCE_READ: return Read(static_cast<uint8_t *>(data), len);
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) return Fail(ZIP_ER_INVAL);
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE;
            st->size = length_;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, len);
        case ZIP_SOURCE_FREE:
            zip_error_fini(&error_);
            delete this;
            return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to =
                zip_source_seek_compute_offset(position_, length_, data, len, &error_);
            if (to < 0) return -1;
            position_ = static_cast<uint64_t>(to);
            return 0;
        }
        case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(position_);
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                                  ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                                  ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                                  ZIP_SOURCE_SUPPORTS, -1);
        default: return Fail(ZIP_ER_OPNOTSUPP);
        }
    }

    zip_int64_t Fail(int code) {
        zip_error_set(&error_, code, 0);
        return -1;
    }

    zip_int64_t Read(uint8_t *out, zip_uint64_t len) {
        const uint64_t n = std::min<uint64_t>(len, length_ - position_);
        if (n == 0) return 0;
        const uint64_t at = start_ + position_;
        if (n <= kSmallRead) {
            if (at < blockStart_ || at + n > blockStart_ + block_.size()) {
                const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, start_ + length_ - at));
                block_.resize(want);
                blockStart_ = at;
                if (!file_.ReadAt(at, block_.data(), want)) {
                    block_.clear();
                    return Fail(ZIP_ER_READ);
                }
                file_.ApplyMasks(at, block_.data(), want);
            }
            std::memcpy(out, block_.data() + (at - blockStart_), static_cast<size_t>(n));
        } else {
            if (!file_.ReadAt(at, out, static_cast<size_t>(n))) return Fail(ZIP_ER_READ);
            file_.ApplyMasks(at, out, static_cast<size_t>(n));
        }
        position_ += n;
        return static_cast<zip_int64_t>(n);
    }

    const ArchiveFile &file_;
    const uint64_t start_, length_;
    uint64_t position_ = 0;
    std::vector<uint8_t> block_;
    uint64_t blockStart_ = 0;
    zip_error_t error_;
};

}  // namespace

void PrepareForLibzip(ArchiveFile &archive, const CentralDirectory &directory) {
    constexpr uint8_t kUtf8FlagHighByte = 0x08;  // bit 11 of the flags field
    constexpr uint8_t kDeflated = 8;
    for (const CentralEntry &entry : directory.entries()) {
        if (entry.utf8FlagWithoutUtf8) archive.MaskOnRead(entry.recordOffset + 9, kUtf8FlagHighByte);
        // libzip checks a stored AE-2 entry against its meaningless CRC; it skips the check
        // on the compressed bytes of any other method, which are then the data itself.
        if (entry.aesVersion == 2 && entry.method == kMethodStored)
            archive.ChangeOnRead(entry.aesMethodOffset, 0xFF, kDeflated);
    }
    const uint64_t end = directory.endRecord();
    // The comment is cut off where libzip's view ends (it may run past the file's end).
    archive.MaskOnRead(end + 20, 0xFF);
    archive.MaskOnRead(end + 21, 0xFF);
    if (directory.zip64()) {
        // The zip64 record holds the truth: disk numbers 0, every other field "see zip64".
        for (uint64_t at = end + 4; at < end + 8; ++at) archive.MaskOnRead(at, 0xFF);
        for (uint64_t at = end + 8; at < end + 20; ++at) archive.ChangeOnRead(at, 0, 0xFF);
    }
}

ZipHandle::~ZipHandle() {
    if (zip_) zip_discard(zip_);
}

bool ZipHandle::Open(const ArchiveFile &archive, const CentralDirectory &directory,
                     std::string &error) {
    zip_error_t zipError;
    zip_error_init(&zipError);
    // libzip takes offsets from the start of what it reads: skip any bytes before the archive.
    // It ends with the end record the directory was read from, so that libzip finds no other.
    constexpr uint64_t kEndSize = 22;
    auto *range = new FileRangeSource(archive, directory.prefix(),
                                      directory.endRecord() + kEndSize - directory.prefix());
    zip_source_t *source = zip_source_function_create(&FileRangeSource::Callback, range, &zipError);
    if (!source) {
        delete range;
    } else {
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
