#include "EntryStream.h"

#include "Progress.h"

namespace tesk::unzip {

bool EntryStream::Push(const uint8_t *data, size_t size) {
    std::vector<uint8_t> chunk;
    if (keepData_) chunk.assign(data, data + size);
    std::unique_lock<std::mutex> lock(mutex_);
    if (keepData_) {
        changed_.wait(lock, [&] { return abandoned_ || queued_ == 0 || queued_ + size <= bound_; });
        if (abandoned_) return false;
        queued_ += size;
        chunks_.push_back(std::move(chunk));
    } else if (abandoned_) {
        return false;
    }
    produced_.fetch_add(size, std::memory_order_relaxed);
    lock.unlock();
    changed_.notify_all();
    return true;
}

void EntryStream::Finish(const DecodeResult &result) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        result_ = result;
    }
    changed_.notify_all();
}

EntryStream::Got EntryStream::Next(std::vector<uint8_t> &chunk) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool ready = changed_.wait_for(lock, ProgressClock::kWaitStep,
                                         [&] { return !chunks_.empty() || finished_; });
    if (!ready) return Got::Nothing;
    if (chunks_.empty()) return Got::End;
    chunk = std::move(chunks_.front());
    chunks_.pop_front();
    queued_ -= chunk.size();
    lock.unlock();
    changed_.notify_all();
    return Got::Chunk;
}

DecodeResult EntryStream::result() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
}

void EntryStream::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
        chunks_.clear();
        queued_ = 0;
    }
    changed_.notify_all();
}

}  // namespace tesk::unzip
