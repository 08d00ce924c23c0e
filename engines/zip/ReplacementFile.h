// A file written beside its target and renamed over it only when complete, so that the
// target is either the old file or the whole new one, never a part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesk::zip {

class ReplacementFile {
public:
    explicit ReplacementFile(std::string target) : target_(std::move(target)) {}
    ~ReplacementFile() { Abandon(); }
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file, with the target's permissions when it exists, else those a
    // new file gets. Each failing call leaves the cause in error().
    bool Begin();
    // Writes at the current position, through a buffer: a few large writes cost less than
    // the many small ones of a zip writer.
    bool Write(const void *data, uint64_t length);
    bool Seek(uint64_t position);
    uint64_t position() const { return position_; }
    uint64_t end() const { return end_; }
    // Writes out what is buffered and renames the file over the target.
    bool Commit();
    // Removes the temporary file, if there is one.
    void Abandon();
    int error() const { return error_; }

private:
    bool Flush();
    bool Fail(int cause);

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    int error_ = 0;
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    uint64_t position_ = 0;
    uint64_t end_ = 0;
    uint64_t writtenBack_ = 0;  // bytes below this offset were handed to writeback
};

}  // namespace tesk::zip
