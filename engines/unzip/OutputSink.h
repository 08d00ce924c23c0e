// Destinations for an entry's decoded bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tesk::unzip {

// Receives an entry's bytes in order. Write and Finish return false on failure; error()
// then describes it. Used by one thread at a time.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual bool Write(const uint8_t *data, size_t size) = 0;
    // After the last Write.
    virtual bool Finish() { return true; }
    virtual std::string error() const { return {}; }
};

// Discards everything (testing an archive).
class NullSink final : public OutputSink {
public:
    bool Write(const uint8_t *, size_t) override { return true; }
};

// Keeps the bytes (a link's target).
class MemorySink final : public OutputSink {
public:
    bool Write(const uint8_t *data, size_t size) override;
    const std::string &bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Writes to an open file descriptor (not owned).
class FileSink final : public OutputSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    bool Write(const uint8_t *data, size_t size) override;
    std::string error() const override { return error_; }

private:
    int fd_;
    std::string error_;
};

// Turns CR LF into LF on the way to another sink when the data looks like text: the
// entry's text attribute is set, or its first block holds no NUL byte.
class LineEndSink final : public OutputSink {
public:
    LineEndSink(OutputSink &next, bool markedText) : next_(next), text_(markedText) {}
    bool Write(const uint8_t *data, size_t size) override;
    bool Finish() override;
    std::string error() const override { return next_.error(); }

private:
    OutputSink &next_;
    bool decided_ = false;
    bool text_;
    bool pendingCr_ = false;  // a CR at the end of the last block
    std::string converted_;
};

}  // namespace tesk::unzip

namespace tesk::unzip {

// Writes everything to two sinks in turn; fails when either does.
class TeeSink final : public OutputSink {
public:
    TeeSink(OutputSink &first, OutputSink &second) : first_(first), second_(second) {}
    bool Write(const uint8_t *data, size_t size) override {
        if (!first_.Write(data, size)) {
            failed_ = &first_;
            return false;
        }
        if (second_.Write(data, size)) return true;
        failed_ = &second_;
        return false;
    }
    bool Finish() override {
        if (!first_.Finish()) {
            failed_ = &first_;
            return false;
        }
        if (second_.Finish()) return true;
        failed_ = &second_;
        return false;
    }
    std::string error() const override { return failed_ ? failed_->error() : std::string(); }

private:
    OutputSink &first_;
    OutputSink &second_;
    OutputSink *failed_ = nullptr;
};

// Passes everything on to another sink and tells how many bytes went through so far.
class CountingSink final : public OutputSink {
public:
    CountingSink(OutputSink &next, std::function<void(uint64_t)> advanced)
        : next_(next), advanced_(std::move(advanced)) {}
    bool Write(const uint8_t *data, size_t size) override {
        if (!next_.Write(data, size)) return false;
        done_ += size;
        advanced_(done_);
        return true;
    }
    bool Finish() override { return next_.Finish(); }
    std::string error() const override { return next_.error(); }

private:
    OutputSink &next_;
    std::function<void(uint64_t)> advanced_;
    uint64_t done_ = 0;
};

}  // namespace tesk::unzip
