// Starts the entries' work in the order zip_close writes them, keeping the memory of the
// entries in flight under a budget.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tesk {
class WorkerPool;
}

namespace tesk::zip {

class EntryData;

// Threading: the engine caller's thread only (zip_close calls the sources there).
class CompressionScheduler {
public:
    CompressionScheduler(WorkerPool &pool, uint64_t budget) : pool_(pool), budget_(budget) {}

    // order: the entry's index in the archive, which is the order zip_close writes in.
    // After Begin, entries must come in rising order; each may start at once.
    void Add(EntryData *data, uint64_t order);
    // Sorts by order and starts the first entries. Called before any Add when the entries
    // come in the order they are written (a new archive), their work starts while the
    // others are still being added.
    void Begin();
    // Starts an entry out of turn (libzip asked for it early).
    void EnsureStarted(EntryData *data);
    // The entry's data was written; its budget goes to the next ones.
    void Finished(EntryData *data);
    // The entry is gone (its source was freed).
    void Forget(EntryData *data);
    // zip_close has returned: start nothing more.
    void Stop() { begun_ = false; }

private:
    void StartNext();
    void Start(EntryData *data);

    WorkerPool &pool_;
    uint64_t budget_;
    uint64_t inFlight_ = 0;
    bool begun_ = false;
    std::vector<std::pair<uint64_t, EntryData *>> queue_;
    std::size_t next_ = 0;
    std::unordered_map<EntryData *, std::size_t> queued_;  // entry -> place in queue_
    std::unordered_map<EntryData *, uint64_t> running_;  // entry -> cost
};

}  // namespace tesk::zip
