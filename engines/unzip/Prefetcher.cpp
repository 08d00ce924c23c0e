#include "Prefetcher.h"

#include <algorithm>
#include <system_error>

namespace tesk::unzip {

Prefetcher::Prefetcher(const ArchiveFile &archive, const CentralDirectory &directory,
                       const std::vector<EntryCheck> &checks, const std::vector<size_t> &selected)
    : archive_(archive), directory_(directory), checks_(checks) {
    for (size_t index : selected) {
        const CentralEntry &entry = directory.entries()[index];
        if (checks[index].fault == EntryFault::None && !entry.encrypted() && !entry.isFolder() &&
            !entry.isSymlink() && EntryDecoder::FitsInMemory(entry))
            plan_.push_back(index);
    }
    const unsigned processors = std::thread::hardware_concurrency();
    if (plan_.size() < 2 || processors < 2) {
        plan_.clear();
        return;
    }
    // Handles are opened here: opening converts times, which is best not done by several
    // threads at once.
    std::string error;
    for (unsigned i = 0; i < std::min(processors, kMaxWorkers); ++i) {
        auto zip = std::make_unique<ZipHandle>();
        if (!zip->Open(archive, directory, error)) break;
        handles_.push_back(std::move(zip));
    }
    try {
        for (auto &handle : handles_) {
            ZipHandle *zip = handle.get();
            workers_.emplace_back([this, zip] { Work(*zip); });
        }
    } catch (const std::system_error &) {
    }
    if (workers_.empty()) plan_.clear();  // the calling thread decodes everything
}

Prefetcher::~Prefetcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread &worker : workers_) worker.join();
}

uint64_t Prefetcher::SizeAt(size_t position) const {
    return directory_.entries()[plan_[position]].size;
}

void Prefetcher::Work(ZipHandle &zip) {
    try {
        WorkThrough(zip);
    } catch (...) {
        // Nothing may leave the thread; the calling thread decodes what is missing.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed_ = true;
        }
        changed_.notify_all();
    }
}

void Prefetcher::WorkThrough(ZipHandle &zip) {
    EntryDecoder decoder(zip.get());
    for (;;) {
        size_t position;
        Prefetched done;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] {
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
            if (!spare_.empty()) {
                done.bytes = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        const size_t index = plan_[position];
        done.result = decoder.DecodeToMemory(index, directory_.entries()[index], done.bytes);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (position < nextTake_)
                claimedBytes_ -= SizeAt(position);  // passed over while it was decoded
            else
                ready_.emplace(position, std::move(done));
        }
        changed_.notify_all();
    }
}

void Prefetcher::Recycle(std::vector<uint8_t> &&buffer) {
    constexpr size_t kSpares = 4;
    constexpr size_t kLargest = 16u << 20;
    if (plan_.empty() || buffer.capacity() > kLargest) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.size() < kSpares) spare_.push_back(std::move(buffer));
}

std::optional<Prefetched> Prefetcher::Take(size_t index) {
    if (plan_.empty()) return std::nullopt;
    std::unique_lock<std::mutex> lock(mutex_);
    // Planned entries before this one were passed over by the calling thread. Those still
    // being decoded are let go by their worker when it finishes.
    while (nextTake_ < plan_.size() && plan_[nextTake_] < index) {
        const auto dropped = ready_.find(nextTake_);
        if (dropped != ready_.end()) {
            claimedBytes_ -= SizeAt(nextTake_);
            ready_.erase(dropped);
        }
        ++nextTake_;
    }
    changed_.notify_all();
    if (nextTake_ == plan_.size() || plan_[nextTake_] != index) return std::nullopt;
    const size_t position = nextTake_;
    changed_.wait(lock, [&] { return failed_ || ready_.count(position) != 0; });
    const auto found = ready_.find(position);
    if (found == ready_.end()) return std::nullopt;
    Prefetched taken = std::move(found->second);
    ready_.erase(found);
    claimedBytes_ -= SizeAt(position);
    ++nextTake_;
    lock.unlock();
    changed_.notify_all();
    return taken;
}

}  // namespace tesk::unzip
