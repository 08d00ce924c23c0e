#include "ArchiveHandle.h"

#include "ArchiveSource.h"

namespace tesk::zip {

bool ArchiveHandle::Open(const std::string &path, int flags, std::string &error) {
    zip_error_t e;
    zip_error_init(&e);
    zip_source_t *source = CreateArchiveSource(path, &e);
    if (source) {
        archive_ = zip_open_from_source(source, flags, &e);
        if (!archive_) zip_source_free(source);
    }
    if (!archive_) error = zip_error_strerror(&e);
    zip_error_fini(&e);
    return archive_ != nullptr;
}

bool ArchiveHandle::Close(std::string &error, const std::function<void()> &afterClose) {
    const int rc = zip_close(archive_);
    if (afterClose) afterClose();
    if (rc == 0) {
        archive_ = nullptr;
        return true;
    }
    error = zip_strerror(archive_);
    Discard();
    return false;
}

void ArchiveHandle::Discard() {
    if (archive_) zip_discard(archive_);
    archive_ = nullptr;
}

}  // namespace tesk::zip
