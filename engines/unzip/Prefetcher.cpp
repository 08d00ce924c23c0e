#include "Prefetcher.h"

#include "MethodDecoder.h"
#include "Progress.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <unistd.h>

namespace tesk::unzip {

Prefetcher::Prefetcher(const ArchiveFile &archive, const CentralDirectory &directory,
                       const std::vector<EntryCheck> &checks, const std::vector<size_t> &selected,
                       bool testing, SpoolMaker spool)
    : archive_(archive), directory_(directory), checks_(checks), testing_(testing),
      spool_(testing ? nullptr : std::move(spool)) {
    uint64_t remaining = 0;
    for (size_t index : selected) remaining += directory.entries()[index].size;
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        mappedInputBudget_ = std::min(mappedInputBudget_, static_cast<uint64_t>(pages) *
                                                              static_cast<uint64_t>(pageSize) / 8);
    bool anyStream = false;
    for (size_t index : selected) {
        const CentralEntry &entry = directory.entries()[index];
        const uint64_t from = remaining;
        remaining -= entry.size;
        if (checks[index].fault == EntryFault::None && !entry.encrypted() && !entry.isFolder() &&
            !entry.isSymlink() &&
            (EntryDecoder::FitsInMemory(entry) || entry.method == kMethodDeflated ||
             HasMethodDecoder(entry.method))) {
            plan_.push_back(index);
            bytesFrom_.push_back(from);
            anyStream = anyStream || Streams(plan_.size() - 1);
        }
    }
    // A stream is worth a worker even alone: inflating overlaps with writing.
    const unsigned processors = std::thread::hardware_concurrency();
    if ((plan_.size() < 2 && !anyStream) || processors < 2) {
        plan_.clear();
        bytesFrom_.clear();
        return;
    }
    // Workers read plain entries straight from the archive file: no libzip handle of their own.
    try {
        for (unsigned i = 0; i < std::min(processors, kMaxWorkers); ++i)
            workers_.emplace_back([this] { Work(); });
    } catch (const std::system_error &) {
    }
    if (workers_.empty()) plan_.clear();  // the calling thread decodes everything
}

Prefetcher::~Prefetcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        for (auto &stream : streams_) stream->Abandon();
    }
    room_.notify_all();
    for (std::thread &worker : workers_) worker.join();
}

bool Prefetcher::Streams(size_t position) const {
    return !EntryDecoder::FitsInMemory(directory_.entries()[plan_[position]]);
}

// What an entry counts against the budget: a stream holds its queue at most.
uint64_t Prefetcher::SizeAt(size_t position) const {
    return Streams(position) ? kStreamBound : directory_.entries()[plan_[position]].size;
}

void Prefetcher::Drop(Prefetched &entry) {
    if (entry.stream) entry.stream->Abandon();
}

void Prefetcher::Work() {
    try {
        WorkThrough();
    } catch (...) {
        // Nothing may leave the thread; the calling thread decodes what is missing.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed_ = true;
        }
        arrived_.notify_all();
    }
}

void Prefetcher::WorkThrough() {
    EntryDecoder decoder(nullptr, archive_);
    for (;;) {
        size_t position;
        Prefetched done;
        uint64_t needed = 0;  // for an entry written to its own file: the space the run still needs
        {
            std::unique_lock<std::mutex> lock(mutex_);
            room_.wait(lock, [&] {
                if (stop_ || nextClaim_ >= plan_.size()) return true;
                if (nextClaim_ < nextTake_) return true;  // passed over: skip it
                return nextClaim_ == nextTake_ ||
                       (claimedBytes_ + SizeAt(nextClaim_) <= kBudget &&
                        nextClaim_ - nextTake_ < kMaxAhead);
            });
            if (stop_ || nextClaim_ >= plan_.size()) return;
            position = nextClaim_++;
            if (position < nextTake_) continue;
            claimedBytes_ += SizeAt(position);
            const uint64_t reserved = std::min(spooledAhead_, bytesFrom_[nextTake_]);
            needed = bytesFrom_[nextTake_] - reserved + kSpoolMargin;
            if (!spare_.empty()) {
                done.bytes = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        const size_t index = plan_[position];
        const CentralEntry &entry = directory_.entries()[index];
        if (Streams(position)) {
            // Handed over at once: the calling thread takes the chunks while they come, or
            // waits for the end of the file being written here.
            const std::shared_ptr<PendingOutput> file = spool_ ? spool_(entry, needed) : nullptr;
            auto stream = std::make_shared<EntryStream>(!testing_ && !file, kStreamBound);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                streams_.push_back(stream);
                if (stop_ || position < nextTake_) {
                    if (position < nextTake_) claimedBytes_ -= SizeAt(position);
                    continue;
                }
                done.stream = stream;
                done.file = file;
                done.fileBytes = file ? entry.size : 0;
                spooledAhead_ += done.fileBytes;
                ready_.emplace(position, std::move(done));
            }
            arrived_.notify_all();
            uint64_t held = 0;  // compressed bytes this entry may hold
            if (file && EntryDecoder::InflatesMapped(entry)) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (mappedInput_ + entry.compressedSize <= mappedInputBudget_) {
                    held = entry.compressedSize;
                    mappedInput_ += held;
                }
            }
            DecodeResult result;
            try {
                const uint64_t start = checks_[index].dataStart;
                result = file ? decoder.DecodeToFile(entry, start, file->fd(), stream->sink(), held > 0)
                              : decoder.Decode(index, entry, start, nullptr, stream->sink());
            } catch (const std::bad_alloc &) {
                result = {DecodeStatus::NoMemory, {}};
            }
            if (held > 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                mappedInput_ -= held;
            }
            stream->Finish(result);
            continue;
        }
        done.result = decoder.DecodeToMemory(entry, checks_[index].dataStart, done.bytes);
        bool passedOver;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            passedOver = position < nextTake_;
            if (passedOver)
                claimedBytes_ -= SizeAt(position);  // passed over while it was decoded
            else
                ready_.emplace(position, std::move(done));
        }
        if (passedOver)
            room_.notify_all();
        else
            arrived_.notify_all();
    }
}

void Prefetcher::Recycle(std::vector<uint8_t> &&buffer) {
    constexpr size_t kSpares = 4;
    constexpr size_t kLargest = 16u << 20;
    if (plan_.empty() || buffer.capacity() > kLargest) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < kSpares) spare_.push_back(std::move(buffer));
}

uint64_t Prefetcher::SpooledAhead() {
    std::lock_guard<std::mutex> lock(mutex_);
    return spooledAhead_;
}

std::optional<Prefetched> Prefetcher::Take(size_t index, const std::function<void()> &idle) {
    if (plan_.empty()) return std::nullopt;
    std::unique_lock<std::mutex> lock(mutex_);
    // Planned entries before this one were passed over by the calling thread. Those still
    // being decoded are let go by their worker when it finishes.
    bool passed = false;
    while (nextTake_ < plan_.size() && plan_[nextTake_] < index) {
        const auto dropped = ready_.find(nextTake_);
        if (dropped != ready_.end()) {
            claimedBytes_ -= SizeAt(nextTake_);
            spooledAhead_ -= dropped->second.fileBytes;
            Drop(dropped->second);
            ready_.erase(dropped);
        }
        ++nextTake_;
        passed = true;
    }
    if (passed) room_.notify_all();
    if (nextTake_ == plan_.size() || plan_[nextTake_] != index) return std::nullopt;
    const size_t position = nextTake_;
    while (!arrived_.wait_for(lock, ProgressClock::kWaitStep,
                              [&] { return failed_ || ready_.count(position) != 0; })) {
        lock.unlock();
        idle();
        lock.lock();
    }
    const auto found = ready_.find(position);
    if (found == ready_.end()) return std::nullopt;
    Prefetched taken = std::move(found->second);
    ready_.erase(found);
    claimedBytes_ -= SizeAt(position);
    spooledAhead_ -= taken.fileBytes;
    ++nextTake_;
    // Workers held back by the limits are woken only once there is room for a batch: a
    // wake-up per entry costs more than the small entries it would decode.
    const bool roomy = nextClaim_ <= nextTake_ ||
                       (nextClaim_ - nextTake_ + kRefill <= kMaxAhead &&
                        (nextClaim_ >= plan_.size() ||
                         claimedBytes_ + SizeAt(nextClaim_) + kRefillBytes <= kBudget));
    lock.unlock();
    if (roomy) room_.notify_all();
    return taken;
}

}  // namespace tesk::unzip
