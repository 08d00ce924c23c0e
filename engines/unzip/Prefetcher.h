// Decoding ahead of the calling thread: worker threads inflate upcoming plain entries
// while the calling thread writes (or prompts about) earlier ones.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"
#include "EntryDecoder.h"
#include "EntryValidation.h"
#include "ZipHandle.h"

#include <condition_variable>
#include <cstdint>
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
};

// Each worker has its own libzip handle and decoder and never calls back. Together they
// hold at most kBudget bytes of entries decoded or being decoded beyond the one the
// calling thread needs next, which may always be decoded. Only entries that need no
// password and fit in memory are decoded ahead; the calling thread decodes the others
// itself. Take must be called with rising indices; planned entries it passes over are
// dropped.
class Prefetcher {
public:
    static constexpr uint64_t kBudget = 48ull << 20;
    static constexpr size_t kMaxAhead = 256;
    static constexpr unsigned kMaxWorkers = 4;

    // Plans the entries of selected (rising indices) that qualify, and starts a worker
    // per processor (at most kMaxWorkers) unless fewer than two qualify.
    Prefetcher(const ArchiveFile &archive, const CentralDirectory &directory,
               const std::vector<EntryCheck> &checks, const std::vector<size_t> &selected);
    ~Prefetcher();
    Prefetcher(const Prefetcher &) = delete;
    Prefetcher &operator=(const Prefetcher &) = delete;

    // The decoded entry, waiting for the workers if need be; nothing when the entry is not
    // decoded ahead.
    std::optional<Prefetched> Take(size_t index);
    // Hands a taken entry's buffer back for reuse: fresh buffers cost page faults and
    // zero-filling for every entry.
    void Recycle(std::vector<uint8_t> &&buffer);

private:
    void Work(ZipHandle &zip);
    void WorkThrough(ZipHandle &zip);
    uint64_t SizeAt(size_t position) const;

    const ArchiveFile &archive_;
    const CentralDirectory &directory_;
    const std::vector<EntryCheck> &checks_;
    std::vector<size_t> plan_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<size_t, Prefetched> ready_;  // by position in plan_
    uint64_t claimedBytes_ = 0;  // sizes of entries being decoded or ready
    size_t nextClaim_ = 0;       // position of the next entry a worker takes up
    size_t nextTake_ = 0;        // position of the first entry not yet taken or passed over
    std::vector<std::vector<uint8_t>> spare_;
    bool stop_ = false;
    bool failed_ = false;  // a worker gave up (out of memory); its entry never comes
    std::vector<std::unique_ptr<ZipHandle>> handles_;  // one per worker
    std::vector<std::thread> workers_;
};

}  // namespace tesk::unzip
