// Decoding ahead of the calling thread: worker threads inflate upcoming plain entries
// while the calling thread writes (or prompts about) earlier ones.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"
#include "EntryDecoder.h"
#include "EntryStream.h"
#include "EntryValidation.h"
#include "OutputTree.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tesk::unzip {

struct Prefetched {
    DecodeResult result;
    std::vector<uint8_t> bytes;  // the entry's checked contents when result is Ok
    // Set instead for an entry too large for memory: still being decoded by a worker.
    std::shared_ptr<EntryStream> stream;
    // With stream, when the worker writes the entry into this unnamed file itself: the
    // data is there once the stream ends Ok. Dropped unnamed, the file vanishes.
    std::shared_ptr<PendingOutput> file;
    uint64_t fileBytes = 0;  // the space the file holds or will hold
};

// Makes an unnamed file for an entry that a worker writes itself (mode: the entry's
// permission bits or -1), or null; needed: bytes the rest of the run will write.
using SpoolMaker =
    std::function<std::shared_ptr<PendingOutput>(const CentralEntry &entry, uint64_t needed)>;

// Each worker has its own decoder, reads the archive file and never calls back. Together they
// hold at most kBudget bytes of entries decoded or being decoded beyond the one the
// calling thread needs next, which may always be decoded. Only entries that need no
// password are decoded ahead: whole when they fit in memory, else (deflated ones and the
// methods of MakeMethodDecoder) as a stream of chunks, kStreamBound bytes at most in its
// queue, or, given a SpoolMaker, straight into a file of its own, so that large entries are
// decoded side by side rather than at the writer's pace; the calling thread decodes the
// others itself. Take must be called with rising indices; planned entries it passes
// over are dropped.
class Prefetcher {
public:
    static constexpr uint64_t kBudget = 48ull << 20;
    static constexpr size_t kMaxAhead = 256;
    static constexpr unsigned kMaxWorkers = 4;
    static constexpr uint64_t kStreamBound = 16ull << 20;
    // The room, in entries and bytes, that wakes the workers again once they hit a limit.
    static constexpr size_t kRefill = 64;
    static constexpr uint64_t kRefillBytes = 8ull << 20;
    // Free space left over, beyond what the rest of the run needs, before a file is written ahead.
    static constexpr uint64_t kSpoolMargin = 64ull << 20;
    // Compressed data held at once by workers inflating entries into mapped files: this,
    // or an eighth of the machine's memory when that is less.
    static constexpr uint64_t kMappedInputBudget = 256ull << 20;

    // Plans the entries of selected (rising indices) that qualify, and starts a worker
    // per processor (at most kMaxWorkers) unless fewer than two qualify and none streams.
    // testing: streamed entries are only checked, their data is not kept.
    // spool: null when testing, or when the data must pass through the calling thread.
    Prefetcher(const ArchiveFile &archive, const CentralDirectory &directory,
               const std::vector<EntryCheck> &checks, const std::vector<size_t> &selected,
               bool testing, SpoolMaker spool = nullptr);
    ~Prefetcher();
    Prefetcher(const Prefetcher &) = delete;
    Prefetcher &operator=(const Prefetcher &) = delete;

    // The decoded entry (or its stream), waiting for the workers if need be, with idle
    // called every ProgressClock::kWaitStep meanwhile; nothing when the entry is not decoded
    // ahead.
    std::optional<Prefetched> Take(size_t index, const std::function<void()> &idle);
    // Hands a taken entry's buffer back for reuse: fresh buffers cost page faults and
    // zero-filling for every entry.
    void Recycle(std::vector<uint8_t> &&buffer);
    // Disk space held by files written ahead and not yet taken: free space seen by the
    // calling thread is short of that much.
    uint64_t SpooledAhead();

private:
    void Work();
    void WorkThrough();
    uint64_t SizeAt(size_t position) const;
    bool Streams(size_t position) const;
    // Drops a prefetched entry that will never be taken.
    void Drop(Prefetched &entry);

    const ArchiveFile &archive_;
    const CentralDirectory &directory_;
    const std::vector<EntryCheck> &checks_;
    std::vector<size_t> plan_;
    const bool testing_;
    const SpoolMaker spool_;
    std::vector<uint64_t> bytesFrom_;  // by position: sizes of the selected entries from there on
    uint64_t spooledAhead_ = 0;
    uint64_t mappedInput_ = 0;  // compressed bytes held for mapped inflation
    uint64_t mappedInputBudget_ = kMappedInputBudget;

    std::mutex mutex_;
    std::condition_variable room_;     // workers wait here for an entry they may claim
    std::condition_variable arrived_;  // the calling thread waits here for its entry
    std::map<size_t, Prefetched> ready_;  // by position in plan_
    uint64_t claimedBytes_ = 0;  // sizes of entries being decoded or ready
    size_t nextClaim_ = 0;       // position of the next entry a worker takes up
    size_t nextTake_ = 0;        // position of the first entry not yet taken or passed over
    std::vector<std::vector<uint8_t>> spare_;
    std::vector<std::shared_ptr<EntryStream>> streams_;  // every stream made, to stop them
    bool stop_ = false;
    bool failed_ = false;  // a worker gave up (out of memory); its entry never comes
    std::vector<std::thread> workers_;
};

}  // namespace tesk::unzip
