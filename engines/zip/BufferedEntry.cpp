#include "BufferedEntry.h"

#include "Deflate.h"
#include "SourceFile.h"
#include "vbzip11.h"
#include "worker_pool.h"

#include <cstring>

namespace tesk::zip {

BufferedEntry::BufferedEntry() : work_(std::make_shared<Work>()) {
    work_->finished = true;
    work_->header.stored = true;
    work_->header.crcKnown = true;
    started_ = true;
}

BufferedEntry::BufferedEntry(EntryPlan plan) : work_(std::make_shared<Work>()) {
    work_->plan = std::move(plan);
}

BufferedEntry::~BufferedEntry() { Release(); }

uint64_t BufferedEntry::Cost() const { return work_->plan.size + 4096; }

void BufferedEntry::Start(WorkerPool &pool) {
    if (started_) return;
    started_ = true;
    pool.Submit([work = work_] { Run(*work); });
}

void BufferedEntry::Run(Work &work) {
    {
        std::lock_guard<std::mutex> lock(work.mutex);
        if (work.cancelled) {
            work.finished = true;
            work.done.notify_all();
            return;
        }
    }
    Failure failure;
    EntryHeader header;
    std::vector<uint8_t> bytes;
    try {
        if (ReadWhole(work.plan.path, bytes, failure)) {
            if (work.plan.lineEnds != LineEnds::Keep && LooksLikeText(bytes.data(), bytes.size())) {
                std::vector<uint8_t> converted;
                ConvertLineEnds(work.plan.lineEnds, bytes.data(), bytes.size(), -1, -1, converted);
                bytes.swap(converted);
            }
            header.size = bytes.size();
            header.crc = Crc32(0, bytes.data(), bytes.size());
            header.crcKnown = true;
            header.stored = true;
            std::vector<uint8_t> deflated;
            if (work.plan.level > 0 && DeflateWhole(work.plan.level, bytes.data(), bytes.size(), deflated)) {
                header.stored = false;
                bytes.swap(deflated);
            }
            header.compressedSize = bytes.size();
        }
    } catch (const std::bad_alloc &) {
        failure.code = ZP_ERR_MEMORY;
        failure.message = "zip error: out of memory reading " + work.plan.path;
    }
    std::lock_guard<std::mutex> lock(work.mutex);
    work.failure = std::move(failure);
    work.header = header;
    if (!work.cancelled) work.bytes.swap(bytes);
    work.finished = true;
    work.done.notify_all();
}

bool BufferedEntry::WaitHeader(EntryHeader &header, Failure &failure) {
    std::unique_lock<std::mutex> lock(work_->mutex);
    work_->done.wait(lock, [this] { return work_->finished; });
    if (work_->failure.code != 0) {
        failure = work_->failure;
        return false;
    }
    header = work_->header;
    return true;
}

int64_t BufferedEntry::Read(void *buffer, uint64_t len, Failure &failure) {
    EntryHeader header;
    if (!WaitHeader(header, failure)) return -1;
    const auto &bytes = work_->bytes;
    const uint64_t n = std::min<uint64_t>(len, bytes.size() - position_);
    if (n > 0) std::memcpy(buffer, bytes.data() + position_, n);
    position_ += n;
    return static_cast<int64_t>(n);
}

EntryHeader BufferedEntry::Final() const {
    std::lock_guard<std::mutex> lock(work_->mutex);
    return work_->header;
}

void BufferedEntry::Release() {
    std::lock_guard<std::mutex> lock(work_->mutex);
    work_->cancelled = true;
    std::vector<uint8_t>().swap(work_->bytes);
}

}  // namespace tesk::zip
