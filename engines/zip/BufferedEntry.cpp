#include "BufferedEntry.h"

#include "Deflate.h"
#include "SourceFile.h"
#include "vbzip11.h"
#include "worker_pool.h"

#include <cstring>

namespace tesk::zip {
namespace {

constexpr std::size_t kKeptScratch = 4u << 20;

}  // namespace

BufferedEntry::BufferedEntry() : work_(std::make_shared<Work>()) {
    work_->finished = true;
    work_->header.stored = true;
    work_->header.crcKnown = true;
    started_ = true;
}

std::unique_ptr<BufferedEntry> BufferedEntry::Holding(const std::string &bytes) {
    auto entry = std::make_unique<BufferedEntry>();
    Work &work = *entry->work_;
    work.bytes.assign(bytes.begin(), bytes.end());
    work.header.size = bytes.size();
    work.header.compressedSize = bytes.size();
    work.header.crc = Crc32(0, work.bytes.data(), work.bytes.size());
    return entry;
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
    // Buffers kept by each worker thread from file to file; only the result is allocated.
    thread_local Scratch input, deflated;
    Failure failure;
    EntryHeader header;
    std::vector<uint8_t> bytes;
    try {
        std::size_t length = 0;
        std::vector<uint8_t> text;
        bool changed = false;
        if (ReadWhole(work.plan.path, input, length, changed, failure)) {
            header.changed = changed;
            const uint8_t *data = input.data();
            if (work.plan.lineEnds != LineEnds::Keep && LooksLikeText(data, length)) {
                ConvertLineEnds(work.plan.lineEnds, data, length, -1, -1, text);
                length = text.size();
                data = text.data();
            }
            header.size = length;
            header.crc = Crc32(0, data, length);
            header.crcKnown = true;
            header.stored = true;
            std::size_t packed = 0;
            if (work.plan.level > 0 && length > 1)
                packed = DeflateInto(work.plan.level, data, length, deflated.Reserve(length));
            if (packed > 0) {
                header.stored = false;
                bytes.assign(deflated.data(), deflated.data() + packed);
            } else {
                bytes.assign(data, data + length);
            }
            header.compressedSize = bytes.size();
        }
        // Keep small buffers for the next file; large ones would pile up per thread.
        input.Trim(kKeptScratch);
        deflated.Trim(kKeptScratch);
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
    WaitTelling(lock, work_->done, [this] { return work_->finished; });
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
