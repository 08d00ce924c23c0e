#include "CompressionScheduler.h"

#include "EntryData.h"

#include <algorithm>

namespace tesk::zip {

void CompressionScheduler::Add(EntryData *data, uint64_t order) {
    queue_.emplace_back(order, data);
    if (!begun_) return;
    // Begun already: entries come in the order zip_close writes them.
    queued_[data] = queue_.size() - 1;
    StartNext();
}

void CompressionScheduler::Begin() {
    std::stable_sort(queue_.begin(), queue_.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 0; i < queue_.size(); ++i) queued_[queue_[i].second] = i;
    begun_ = true;
    StartNext();
}

void CompressionScheduler::EnsureStarted(EntryData *data) {
    if (!data->Started()) Start(data);
}

void CompressionScheduler::Finished(EntryData *data) {
    const auto it = running_.find(data);
    if (it != running_.end()) {
        inFlight_ -= it->second;
        running_.erase(it);
    }
    if (begun_) StartNext();
}

void CompressionScheduler::Forget(EntryData *data) {
    Finished(data);
    const auto it = queued_.find(data);
    if (it != queued_.end()) {
        queue_[it->second].second = nullptr;
        queued_.erase(it);
    }
}

void CompressionScheduler::StartNext() {
    // Always keep at least one entry going, however large.
    while (next_ < queue_.size() && (inFlight_ < budget_ || running_.empty())) {
        EntryData *data = queue_[next_++].second;
        if (data && !data->Started()) Start(data);
    }
}

void CompressionScheduler::Start(EntryData *data) {
    const uint64_t cost = data->Cost();
    running_[data] = cost;
    inFlight_ += cost;
    data->Start(pool_);
}

}  // namespace tesk::zip
