// An entry too large for memory, decoded by a worker thread while the calling thread takes
// its data: a bounded queue of chunks, the bytes produced so far and the final result.
#pragma once

#include "EntryDecoder.h"
#include "OutputSink.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace tesk::unzip {

class EntryStream {
public:
    // keepData: false when the worker only checks the data (testing) or writes it to a
    // file itself; nothing is queued then.
    // bound: bytes queued at most before the worker waits for the taker.
    EntryStream(bool keepData, uint64_t bound) : keepData_(keepData), bound_(bound) {}

    // Worker side: a sink that queues what the decoder gives. Write fails once the
    // stream was abandoned.
    OutputSink &sink() { return sink_; }
    void Finish(const DecodeResult &result);

    enum class Got { Chunk, End, Nothing };
    // Taker side: the next chunk (into chunk), the end (result() is final), or Nothing when
    // a wait step passed without either.
    Got Next(std::vector<uint8_t> &chunk);
    DecodeResult result() const;
    // False when the worker keeps the data itself (or only checks it): no chunk ever comes.
    bool keepsData() const { return keepData_; }
    // Decoded bytes so far (also when testing, where nothing is queued).
    uint64_t produced() const { return produced_.load(std::memory_order_relaxed); }
    // The taker gives up: the worker stops at its next write.
    void Abandon();

private:
    class QueueSink final : public OutputSink {
    public:
        explicit QueueSink(EntryStream &stream) : stream_(stream) {}
        bool Write(const uint8_t *data, size_t size) override { return stream_.Push(data, size); }
        std::string error() const override { return "stopped"; }

    private:
        EntryStream &stream_;
    };
    bool Push(const uint8_t *data, size_t size);

    const bool keepData_;
    const uint64_t bound_;
    QueueSink sink_{*this};
    std::atomic<uint64_t> produced_{0};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> chunks_;
    uint64_t queued_ = 0;
    bool finished_ = false;
    bool abandoned_ = false;
    DecodeResult result_;
};

}  // namespace tesk::unzip
