#include "ArchiveSource.h"

#include "ReplacementFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::zip {
namespace {

class ArchiveSource {
public:
    explicit ArchiveSource(const std::string &path) : path_(path), output_(path) {
        zip_error_init(&error_);
    }
    ~ArchiveSource() {
        if (fd_ >= 0) ::close(fd_);
        zip_error_fini(&error_);
    }

    static zip_int64_t Callback(void *state, void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
        return static_cast<ArchiveSource *>(state)->Handle(data, len, cmd);
    }

private:
    zip_int64_t Handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd) {
        switch (cmd) {
        case ZIP_SOURCE_SUPPORTS: return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_STAT: return Stat(data, len);
        case ZIP_SOURCE_OPEN: return Open();
        case ZIP_SOURCE_READ: return Read(data, len);
        case ZIP_SOURCE_CLOSE:
            if (fd_ >= 0) ::close(fd_);
            fd_ = -1;
            return 0;
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(position_, size_, data, len, &error_);
            if (to < 0) return -1;
            position_ = static_cast<uint64_t>(to);
            return 0;
        }
        case ZIP_SOURCE_TELL: return static_cast<zip_int64_t>(position_);
        case ZIP_SOURCE_BEGIN_WRITE:
            return output_.Begin() ? 0 : Fail(ZIP_ER_TMPOPEN, output_.error());
        case ZIP_SOURCE_WRITE:
            return output_.Write(data, len) ? static_cast<zip_int64_t>(len)
                                            : Fail(ZIP_ER_WRITE, output_.error());
        case ZIP_SOURCE_SEEK_WRITE: {
            const zip_int64_t to =
                zip_source_seek_compute_offset(output_.position(), output_.end(), data, len, &error_);
            if (to < 0) return -1;
            return output_.Seek(static_cast<uint64_t>(to)) ? 0 : Fail(ZIP_ER_SEEK, output_.error());
        }
        case ZIP_SOURCE_TELL_WRITE: return static_cast<zip_int64_t>(output_.position());
        case ZIP_SOURCE_COMMIT_WRITE:
            return output_.Commit() ? 0 : Fail(ZIP_ER_WRITE, output_.error());
        case ZIP_SOURCE_ROLLBACK_WRITE:
            output_.Abandon();
            return 0;
        case ZIP_SOURCE_REMOVE:
            if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return Fail(ZIP_ER_REMOVE, errno);
            return 0;
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&error_, data, len);
        case ZIP_SOURCE_FREE:
            delete this;
            return 0;
        default: return Fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }

    zip_int64_t Stat(void *data, zip_uint64_t len) {
        if (len < sizeof(zip_stat_t)) return Fail(ZIP_ER_INVAL, 0);
        struct stat info {};
        const int rc = fd_ >= 0 ? ::fstat(fd_, &info) : ::stat(path_.c_str(), &info);
        // libzip takes a read error with ENOENT as "no archive yet".
        if (rc != 0) return Fail(ZIP_ER_READ, errno);
        auto *st = static_cast<zip_stat_t *>(data);
        zip_stat_init(st);
        st->size = static_cast<zip_uint64_t>(info.st_size);
        st->mtime = info.st_mtime;
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }

    zip_int64_t Open() {
        if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return Fail(ZIP_ER_OPEN, errno);
        struct stat info {};
        if (::fstat(fd_, &info) != 0) return Fail(ZIP_ER_READ, errno);
        size_ = static_cast<uint64_t>(info.st_size);
        position_ = 0;
        return 0;
    }

    zip_int64_t Read(void *data, zip_uint64_t len) {
        for (;;) {
            const ssize_t n = ::pread(fd_, data, len, static_cast<off_t>(position_));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail(ZIP_ER_READ, errno);
            position_ += static_cast<uint64_t>(n);
            return n;
        }
    }

    zip_int64_t Fail(int zipError, int systemError) {
        zip_error_set(&error_, zipError, systemError);
        return -1;
    }

    std::string path_;
    ReplacementFile output_;
    zip_error_t error_;
    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

}  // namespace

zip_source_t *CreateArchiveSource(const std::string &path, zip_error_t *error) {
    auto *state = new ArchiveSource(path);
    zip_source_t *source = zip_source_function_create(&ArchiveSource::Callback, state, error);
    if (!source) delete state;
    return source;
}

}  // namespace tesk::zip
