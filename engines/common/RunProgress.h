// The progress lines of one engine run, so that a caller repainting on each message stays
// live through long work: a line at least every ProgressClock::kInterval while entries are
// processed, and for each large entry a line at each tenth of it. Caller's thread only.
#pragma once

#include "Progress.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tesk {

class RunProgress {
public:
    // Entries at least this large get lines of their own, with their own percentage.
    static constexpr uint64_t kLargeEntry = 16u << 20;

    // clock: reset by every message the run sends; send: passes a line on (the engine's
    // message level may still hold it back).
    RunProgress(const ProgressClock &clock, std::function<void(const std::string &)> send)
        : clock_(clock), send_(std::move(send)) {}

    // What the run will process: entries and bytes.
    void Plan(uint64_t entries, uint64_t bytes);
    // A large entry starts; line names it ("  adding: name").
    void EntryBegins(std::string line, uint64_t size);
    // The large entry has done bytes of its size processed.
    void EntryAdvanced(uint64_t done);
    // An entry of size bytes was processed (or skipped).
    void EntryDone(uint64_t size);
    // Sends a line when one is due.
    void Tick();

private:
    void Send();

    const ProgressClock &clock_;
    std::function<void(const std::string &)> send_;
    uint64_t entries_ = 0, bytes_ = 0;
    uint64_t doneEntries_ = 0, doneBytes_ = 0;
    std::string entryLine_;  // empty unless a large entry is being processed
    uint64_t entrySize_ = 0, entryDone_ = 0;
};

}  // namespace tesk
