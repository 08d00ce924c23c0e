#include "ArchiveHandle.h"

namespace tesk::zip {

bool ArchiveHandle::Open(const std::string &path, int flags, std::string &error) {
    int code = 0;
    archive_ = zip_open(path.c_str(), flags, &code);
    if (archive_) return true;
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    error = zip_error_strerror(&e);
    zip_error_fini(&e);
    return false;
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
