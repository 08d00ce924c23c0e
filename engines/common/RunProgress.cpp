#include "RunProgress.h"

namespace tesk {

void RunProgress::Plan(uint64_t entries, uint64_t bytes) {
    entries_ = entries;
    bytes_ = bytes;
}

void RunProgress::EntryBegins(std::string line, uint64_t size) {
    entryLine_ = std::move(line);
    entrySize_ = size;
    entryDone_ = 0;
}

void RunProgress::EntryAdvanced(uint64_t done) {
    if (entryLine_.empty()) return;
    const uint64_t before = entryDone_;
    entryDone_ = done;
    if (TenthsPassed(before, done, entrySize_) > 0 || clock_.Due()) Send();
}

void RunProgress::EntryDone(uint64_t size) {
    entryLine_.clear();
    ++doneEntries_;
    doneBytes_ += size;
    Tick();
}

void RunProgress::Tick() {
    if (clock_.Due()) Send();
}

void RunProgress::Send() {
    if (!entryLine_.empty()) {
        send_(entryLine_ + " " + std::to_string(Percent(entryDone_, entrySize_)) + "%");
        return;
    }
    const int percent = bytes_ > 0 ? Percent(doneBytes_, bytes_) : Percent(doneEntries_, entries_);
    send_("  " + std::to_string(doneEntries_) + " of " + std::to_string(entries_) +
                       " entries (" + std::to_string(percent) + "%)");
}

}  // namespace tesk
