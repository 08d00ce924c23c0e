// The archive file mapped into memory, read-only towards the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesk::unzip {

// A private (copy-on-write) mapping of the whole archive. Reading it is thread-safe; the
// few bytes the engine patches (see CentralDirectory) change only this process's view,
// never the file. Every reader of the engine (the directory scanner and each libzip
// handle) reads through this one mapping.
class ArchiveMap {
public:
    ArchiveMap() = default;
    ~ArchiveMap();
    ArchiveMap(const ArchiveMap &) = delete;
    ArchiveMap &operator=(const ArchiveMap &) = delete;

    // Maps the file; on failure returns false and describes the reason in error.
    bool Open(const std::string &path, std::string &error);

    const uint8_t *data() const { return data_; }
    uint64_t size() const { return size_; }
    // Writable view for patching header flags in memory.
    uint8_t *mutableData() { return data_; }

    // Drops the whole pages inside [offset, offset + length) from this process's memory;
    // they are read from the file again if touched. Only for ranges never patched (entry
    // data), so resident memory stays bounded while big entries are read.
    void Release(uint64_t offset, uint64_t length) const;

private:
    uint8_t *data_ = nullptr;
    uint64_t size_ = 0;
};

}  // namespace tesk::unzip
