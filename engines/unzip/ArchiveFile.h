// The archive file, read with pread.
//
// The archive is never mapped into memory: another program may truncate it while it is
// read, and a mapping would then kill the process with SIGBUS. A read past the end is a
// short read instead, which every reader reports as a damaged archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesk::unzip {

// Thread-safe for reading (pread has no shared position); MaskOnRead must be called
// before the readers start.
class ArchiveFile {
public:
    ArchiveFile() = default;
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile &) = delete;
    ArchiveFile &operator=(const ArchiveFile &) = delete;

    // Opens a regular file, without blocking on anything else (a FIFO); on failure returns
    // false and describes the reason in error.
    bool Open(const std::string &path, std::string &error);

    // The size when opened.
    uint64_t size() const { return size_; }

    // Reads exactly length bytes at offset; false when the file ends first (it may have
    // shrunk since it was opened) or the system reports an error.
    bool ReadAt(uint64_t offset, void *buffer, size_t length) const;
    // Reads up to length bytes; the count read, or -1 on an error.
    int64_t ReadSome(uint64_t offset, void *buffer, size_t length) const;

    // Every later read through ApplyMasks sees the byte at offset with the bits of mask
    // cleared; the file itself is never changed.
    void MaskOnRead(uint64_t offset, uint8_t mask);
    // The same, and the bits of set are then set.
    void ChangeOnRead(uint64_t offset, uint8_t clear, uint8_t set);
    // Applies the masks to bytes that were read from offset.
    void ApplyMasks(uint64_t offset, uint8_t *data, size_t length) const;

private:
    struct Mask {
        uint64_t offset;
        uint8_t bits;     // cleared
        uint8_t set = 0;  // then set
    };
    int fd_ = -1;
    uint64_t size_ = 0;
    std::vector<Mask> masks_;  // sorted by offset
};

// Reads small pieces at nearby offsets through one buffer, so that walking headers in
// file order costs a system call per block rather than per header. One thread only.
class ArchiveWindow {
public:
    explicit ArchiveWindow(const ArchiveFile &file) : file_(file) {}

    // The length bytes at offset, valid until the next call; null when the file ends
    // before them or cannot be read.
    const uint8_t *View(uint64_t offset, size_t length);

private:
    static constexpr size_t kBlock = 64u << 10;
    const ArchiveFile &file_;
    std::vector<uint8_t> buffer_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
};

}  // namespace tesk::unzip
