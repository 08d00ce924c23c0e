// An entry too large to hold whole: cut into blocks that workers read, convert and
// compress independently, with a bounded window of blocks in flight.
#pragma once

#include "EntryData.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace tesk::zip {

class StreamedEntry : public EntryData {
public:
    static constexpr uint64_t kBlockSize = 4u << 20;

    // window: blocks in flight ahead of the one being read.
    StreamedEntry(EntryPlan plan, unsigned window);
    ~StreamedEntry() override;

    void Start(WorkerPool &pool) override;
    uint64_t Cost() const override;
    bool WaitHeader(EntryHeader &header, Failure &failure) override;
    int64_t Read(void *buffer, uint64_t len, Failure &failure) override;
    EntryHeader Final() const override;
    void Release() override;

private:
    struct Block {
        bool ready = false;
        Failure failure;
        std::vector<uint8_t> bytes;  // raw or deflated
        uint32_t crc = 0;
        uint64_t length = 0;         // uncompressed (converted) length
        bool shortRead = false;      // the file ended before the block did
    };
    // Shared with the tasks; lives until the last of them ends.
    struct Work {
        ~Work();
        EntryPlan plan;
        unsigned window = 1;
        WorkerPool *pool = nullptr;
        int fd = -1;
        struct stat opened {};       // the file's status at opening
        std::mutex mutex;
        std::condition_variable changed;
        bool cancelled = false;
        bool headerReady = false;
        Failure failure;             // of the preparation or the method decision
        EntryHeader header;
        uint64_t fileSize = 0;
        uint64_t blockCount = 1;
        uint64_t nextToSubmit = 0;
        uint64_t consumed = 0;       // index of the block being read
        std::map<uint64_t, Block> blocks;
    };
    static void Prepare(const std::shared_ptr<Work> &work);
    static void RunBlock(const std::shared_ptr<Work> &work, uint64_t index);
    // Queues blocks up to the window. Call with work.mutex held.
    static void SubmitMore(const std::shared_ptr<Work> &work);

    std::shared_ptr<Work> work_;
    uint64_t offsetInBlock_ = 0;
    uint32_t crc_ = 0;
    uint64_t size_ = 0, compressedSize_ = 0;
};

}  // namespace tesk::zip
