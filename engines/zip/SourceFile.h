// Reading source files on worker threads.
#pragma once

#include "EntryData.h"

#include <cstdint>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace tesk::zip {

// Opens a regular file for reading without blocking on special files; -1 on failure.
// opened, when given, receives the file's status at opening.
int OpenSourceFile(const std::string &path, Failure &failure, struct stat *opened = nullptr);

// True when the open file's size or modification time differ from opened: it changed
// since, and what was read of it may be neither the old nor the new content.
bool ChangedSince(int fd, const struct stat &opened);

// Reads from fd at offset until len bytes or the end of the file; appends to out.
bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len,
            std::vector<uint8_t> &out, Failure &failure);
// The same into out, which has room for len bytes; got is what was read.
bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len, uint8_t *out,
            uint64_t &got, Failure &failure);

// A growable byte buffer that is never zero-filled, so that one worker thread can reuse it
// from file to file without the cost of fresh pages.
class Scratch {
public:
    // Room for at least size bytes, keeping the first keep bytes.
    uint8_t *Reserve(std::size_t size, std::size_t keep = 0);
    uint8_t *data() { return bytes_.get(); }
    // Frees the buffer when it grew beyond max bytes.
    void Trim(std::size_t max);

private:
    std::unique_ptr<uint8_t[]> bytes_;
    std::size_t capacity_ = 0;
};

// Reads the whole file into buffer; length is what was read. changed: the file changed
// while it was read (see ChangedSince).
bool ReadWhole(const std::string &path, Scratch &buffer, std::size_t &length, bool &changed,
               Failure &failure);

}  // namespace tesk::zip
