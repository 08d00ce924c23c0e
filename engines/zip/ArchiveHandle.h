// An open libzip archive, discarded unless closed successfully.
#pragma once

#include <functional>
#include <string>
#include <zip.h>

namespace tesk::zip {

class ArchiveHandle {
public:
    ArchiveHandle() = default;
    ~ArchiveHandle() { Discard(); }
    ArchiveHandle(const ArchiveHandle &) = delete;
    ArchiveHandle &operator=(const ArchiveHandle &) = delete;

    // zip_open with these flags; on failure error holds libzip's description.
    bool Open(const std::string &path, int flags, std::string &error);
    // zip_close; on failure the archive is discarded and error holds the cause. afterClose
    // runs once zip_close has returned, before any discard.
    bool Close(std::string &error, const std::function<void()> &afterClose = {});
    void Discard();
    zip_t *get() const { return archive_; }

private:
    zip_t *archive_ = nullptr;
};

}  // namespace tesk::zip
