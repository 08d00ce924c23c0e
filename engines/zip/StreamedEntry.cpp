#include "StreamedEntry.h"

#include "Deflate.h"
#include "SourceFile.h"
#include "vbzip11.h"
#include "worker_pool.h"

#include <cstring>
#include <unistd.h>

namespace tesk::zip {
namespace {

// Line ends of a whole file: Keep when it is not text; sets size to the converted length.
bool ScanText(int fd, const EntryPlan &plan, uint64_t fileSize, LineEnds &mode, uint64_t &size,
              Failure &failure) {
    mode = plan.lineEnds;
    size = 0;
    int before = -1;
    for (uint64_t offset = 0; offset < fileSize; offset += StreamedEntry::kBlockSize) {
        std::vector<uint8_t> chunk;
        if (!ReadAt(fd, plan.path, offset, StreamedEntry::kBlockSize + 1, chunk, failure))
            return false;
        const uint64_t len = std::min<uint64_t>(chunk.size(), StreamedEntry::kBlockSize);
        const int after = chunk.size() > len ? chunk[len] : -1;
        if (!LooksLikeText(chunk.data(), len)) {
            mode = LineEnds::Keep;
            size = fileSize;
            return true;
        }
        size += ConvertedLength(mode, chunk.data(), len, before, after);
        if (len > 0) before = chunk[len - 1];
        if (chunk.size() <= StreamedEntry::kBlockSize) break;
    }
    return true;
}

}  // namespace

StreamedEntry::Work::~Work() {
    if (fd >= 0) ::close(fd);
}

StreamedEntry::StreamedEntry(EntryPlan plan, unsigned window) : work_(std::make_shared<Work>()) {
    work_->plan = std::move(plan);
    work_->window = window == 0 ? 1 : window;
}

StreamedEntry::~StreamedEntry() { Release(); }

uint64_t StreamedEntry::Cost() const { return (work_->window + 1) * kBlockSize * 2; }

void StreamedEntry::Start(WorkerPool &pool) {
    if (started_) return;
    started_ = true;
    work_->pool = &pool;
    pool.Submit([work = work_] { Prepare(work); });
}

void StreamedEntry::Prepare(const std::shared_ptr<Work> &work) {
    Failure failure;
    LineEnds mode = LineEnds::Keep;
    uint64_t size = 0, fileSize = 0;
    int fd = -1;
    bool ok = false;
    try {
        fd = OpenSourceFile(work->plan.path, failure, &work->opened);
        if (fd >= 0) {
            fileSize = static_cast<uint64_t>(work->opened.st_size);
            ok = work->plan.lineEnds == LineEnds::Keep
                     ? (size = fileSize, true)
                     : ScanText(fd, work->plan, fileSize, mode, size, failure);
        }
    } catch (const std::bad_alloc &) {
        failure = {ZP_ERR_MEMORY, "zip error: out of memory reading " + work->plan.path};
        ok = false;
    }
    std::lock_guard<std::mutex> lock(work->mutex);
    work->fd = fd;
    if (!ok) {
        work->failure = failure;
        work->changed.notify_all();
        return;
    }
    work->plan.lineEnds = mode;
    work->fileSize = fileSize;
    work->blockCount = std::max<uint64_t>(1, (fileSize + kBlockSize - 1) / kBlockSize);
    work->header.size = size;
    if (work->plan.level == 0) {
        work->header.stored = true;
        work->headerReady = true;
        work->changed.notify_all();
    }
    // Without a level of 0 the first block decides the method before the others start.
    if (work->headerReady) {
        SubmitMore(work);
    } else if (!work->cancelled) {
        work->nextToSubmit = 1;
        work->pool->Submit([work] { RunBlock(work, 0); });
    }
}

void StreamedEntry::SubmitMore(const std::shared_ptr<Work> &work) {
    while (!work->cancelled && work->nextToSubmit < work->blockCount &&
           work->nextToSubmit < work->consumed + work->window) {
        const uint64_t index = work->nextToSubmit++;
        work->pool->Submit([work, index] { RunBlock(work, index); });
    }
}

void StreamedEntry::RunBlock(const std::shared_ptr<Work> &work, uint64_t index) {
    bool stored, deciding;
    {
        std::lock_guard<std::mutex> lock(work->mutex);
        if (work->cancelled) return;
        deciding = !work->headerReady;
        stored = work->header.stored;
    }
    const EntryPlan &plan = work->plan;
    Block block;
    try {
        // Read the block with one byte of context on each side, for line ends.
        const uint64_t start = index * kBlockSize;
        const uint64_t len = index + 1 == work->blockCount ? (work->fileSize > start ? work->fileSize - start : 0)
                                                           : kBlockSize;
        const uint64_t lead = std::min<uint64_t>(start, 1);
        // Kept by each worker thread from block to block: fresh pages cost more than reading.
        thread_local Scratch rawBuffer;
        uint8_t *raw = rawBuffer.Reserve(kBlockSize + 2);
        uint64_t read = 0;
        if (!ReadAt(work->fd, plan.path, start - lead, lead + len + 1, raw, read, block.failure))
            throw block.failure;
        const uint64_t got = read > lead ? std::min<uint64_t>(read - lead, len) : 0;
        // Fewer bytes than the size at opening: the file shrank meanwhile.
        if (got < len) block.shortRead = true;
        const uint8_t *data = raw + lead;
        const int before = lead > 0 ? raw[0] : -1;
        const int after = read > lead + got ? raw[lead + got] : -1;

        std::vector<uint8_t> converted;
        const uint8_t *input = data;
        std::size_t inputSize = got;
        if (plan.lineEnds != LineEnds::Keep) {
            ConvertLineEnds(plan.lineEnds, data, got, before, after, converted);
            input = converted.data();
            inputSize = converted.size();
        }
        block.crc = Crc32(0, input, inputSize);
        block.length = inputSize;

        if (!stored) {
            const bool last = index + 1 == work->blockCount;
            if (!DeflateChunk(plan.level, input, inputSize, last, block.bytes)) {
                block.failure = {ZP_ERR_MEMORY, "zip error: cannot compress " + plan.path};
                throw block.failure;
            }
            // An incompressible first block stores the whole file.
            if (deciding && block.bytes.size() >= inputSize) stored = true;
        }
        if (stored) block.bytes.assign(input, input + inputSize);
    } catch (const Failure &) {
    } catch (const std::bad_alloc &) {
        block.failure = {ZP_ERR_MEMORY, "zip error: out of memory reading " + plan.path};
    }
    block.ready = true;
    std::lock_guard<std::mutex> lock(work->mutex);
    if (work->cancelled) return;
    if (deciding) {
        if (block.failure.code != 0) {
            work->failure = block.failure;
        } else {
            work->header.stored = stored;
            work->headerReady = true;
        }
    }
    if (block.shortRead) work->header.changed = true;
    work->blocks[index] = std::move(block);
    if (work->headerReady) SubmitMore(work);
    work->changed.notify_all();
}

bool StreamedEntry::WaitHeader(EntryHeader &header, Failure &failure) {
    std::unique_lock<std::mutex> lock(work_->mutex);
    WaitTelling(lock, work_->changed,
                [this] { return work_->headerReady || work_->failure.code != 0; });
    if (work_->failure.code != 0) {
        failure = work_->failure;
        return false;
    }
    header = work_->header;
    header.crcKnown = false;
    return true;
}

int64_t StreamedEntry::Read(void *buffer, uint64_t len, Failure &failure) {
    EntryHeader header;
    if (!WaitHeader(header, failure)) return -1;
    std::unique_lock<std::mutex> lock(work_->mutex);
    uint64_t copied = 0;
    bool advanced = false;
    auto *out = static_cast<uint8_t *>(buffer);
    while (copied < len && work_->consumed < work_->blockCount) {
        const uint64_t index = work_->consumed;
        WaitTelling(lock, work_->changed, [&] {
            auto it = work_->blocks.find(index);
            return it != work_->blocks.end() && it->second.ready;
        });
        Block &block = work_->blocks[index];
        if (block.failure.code != 0) {
            failure = block.failure;
            return -1;
        }
        const uint64_t n = std::min<uint64_t>(len - copied, block.bytes.size() - offsetInBlock_);
        std::memcpy(out + copied, block.bytes.data() + offsetInBlock_, n);
        copied += n;
        offsetInBlock_ += n;
        if (offsetInBlock_ == block.bytes.size()) {
            crc_ = Crc32Combine(crc_, block.crc, block.length);
            size_ += block.length;
            compressedSize_ += block.bytes.size();
            work_->blocks.erase(index);
            offsetInBlock_ = 0;
            ++work_->consumed;
            SubmitMore(work_);
            advanced = true;
        }
    }
    // Once all is read, a change since opening shows in the file's size or time.
    if (advanced && work_->consumed == work_->blockCount && ChangedSince(work_->fd, work_->opened))
        work_->header.changed = true;
    lock.unlock();
    if (advanced && observer_) observer_->Advanced(size_);
    return static_cast<int64_t>(copied);
}

EntryHeader StreamedEntry::Final() const {
    std::lock_guard<std::mutex> lock(work_->mutex);
    EntryHeader header = work_->header;
    header.crcKnown = work_->consumed == work_->blockCount;
    header.crc = crc_;
    header.size = size_;
    header.compressedSize = compressedSize_;
    return header;
}

void StreamedEntry::Release() {
    std::lock_guard<std::mutex> lock(work_->mutex);
    work_->cancelled = true;
    work_->blocks.clear();
}

}  // namespace tesk::zip
