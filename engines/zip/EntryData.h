// The bytes of one entry as libzip reads them through an EntrySource: made ready by
// worker threads, consumed by the thread that runs zip_close.
#pragma once

#include "LineEnds.h"
#include "Progress.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace tesk {
class WorkerPool;
}

namespace tesk::zip {

struct Failure {
    int32_t code = 0;      // a ZP_* result
    std::string message;   // for the caller, naming the cause
};

struct EntryHeader {
    bool stored = false;     // true: method 0; false: deflate
    uint64_t size = 0;       // uncompressed length (after line-end conversion)
    bool crcKnown = false;   // CRC and compressed size are known before the data is read
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    bool changed = false;    // the file changed while it was read (known at the end)
};

// What one file entry is made of, fixed before its work starts.
struct EntryPlan {
    std::string path;
    uint64_t size = 0;       // from the folder walk; the file may differ when read
    int level = 6;           // 0 stores
    LineEnds lineEnds = LineEnds::Keep;
};

// Told on the engine caller's thread while an entry's data is awaited and read.
class EntryObserver {
public:
    // Every ProgressClock::kWaitStep while a wait for the workers goes on.
    virtual void Waiting() = 0;
    // done bytes of the entry's data have been read.
    virtual void Advanced(uint64_t done) = 0;

protected:
    ~EntryObserver() = default;
};

// Threading: every member is called on the engine caller's thread; the work runs on the pool.
class EntryData {
public:
    virtual ~EntryData() = default;

    // Queues the work. Called at most once, before any other member but Cost.
    virtual void Start(WorkerPool &pool) = 0;
    bool Started() const { return started_; }
    // Bytes of memory the entry may hold while its work is in flight.
    virtual uint64_t Cost() const = 0;

    // Waits until the method and size are known.
    virtual bool WaitHeader(EntryHeader &header, Failure &failure) = 0;
    // Copies up to len bytes of the entry's (compressed) data; 0 at the end, -1 on failure.
    virtual int64_t Read(void *buffer, uint64_t len, Failure &failure) = 0;
    // After Read returned 0: the header with CRC and sizes of what was actually read.
    virtual EntryHeader Final() const = 0;
    // Drops buffers and stops outstanding work. Idempotent.
    virtual void Release() = 0;

    void Observe(EntryObserver *observer) { observer_ = observer; }

protected:
    // cv.wait(lock, ready), telling the observer (with the lock released) while it lasts.
    template <typename Ready>
    void WaitTelling(std::unique_lock<std::mutex> &lock, std::condition_variable &cv, Ready ready) {
        while (!cv.wait_for(lock, ProgressClock::kWaitStep, ready)) {
            if (!observer_) continue;
            lock.unlock();
            observer_->Waiting();
            lock.lock();
        }
    }

    bool started_ = false;
    EntryObserver *observer_ = nullptr;
};

}  // namespace tesk::zip
