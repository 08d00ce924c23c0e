// An entry made whole in memory by one worker task: files up to the streaming threshold;
// or ready from the start: folders (no data at all) and links (their target).
#pragma once

#include "EntryData.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace tesk::zip {

class BufferedEntry : public EntryData {
public:
    // A folder entry: no data, ready at once.
    BufferedEntry();
    explicit BufferedEntry(EntryPlan plan);
    // An entry of these bytes, stored: ready at once (a link's target).
    static std::unique_ptr<BufferedEntry> Holding(const std::string &bytes);
    ~BufferedEntry() override;

    void Start(WorkerPool &pool) override;
    uint64_t Cost() const override;
    bool WaitHeader(EntryHeader &header, Failure &failure) override;
    int64_t Read(void *buffer, uint64_t len, Failure &failure) override;
    EntryHeader Final() const override;
    void Release() override;

private:
    // Shared with the worker task, which may outlive this object after a Release.
    struct Work {
        EntryPlan plan;
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool cancelled = false;
        Failure failure;
        EntryHeader header;
        std::vector<uint8_t> bytes;  // what libzip reads: raw or deflated
    };
    static void Run(Work &work);

    std::shared_ptr<Work> work_;
    uint64_t position_ = 0;
};

}  // namespace tesk::zip
