// The progress lines of one run, so that a caller repainting on each message stays live
// through long work: a line at least every ProgressClock::kInterval while entries are written,
// and for each large entry a line at each tenth of it. Caller's thread only.
#pragma once

#include "Reporter.h"

#include <cstdint>
#include <string>

namespace tesk::zip {

class RunProgress {
public:
    // Entries at least this large get lines of their own, with their own percentage.
    static constexpr uint64_t kLargeEntry = 16u << 20;

    explicit RunProgress(const Reporter &reporter) : reporter_(reporter) {}

    // What the run will write: entries and bytes (file sizes).
    void Plan(uint64_t entries, uint64_t bytes);
    // A large entry starts; line names it ("  adding: name").
    void EntryBegins(std::string line, uint64_t size);
    // The large entry has done bytes of its size ready.
    void EntryAdvanced(uint64_t done);
    // An entry of size bytes was written.
    void EntryDone(uint64_t size);
    // Sends a line when one is due.
    void Tick();

private:
    void Send();

    const Reporter &reporter_;
    uint64_t entries_ = 0, bytes_ = 0;
    uint64_t doneEntries_ = 0, doneBytes_ = 0;
    std::string entryLine_;  // empty unless a large entry is being written
    uint64_t entrySize_ = 0, entryDone_ = 0;
};

}  // namespace tesk::zip
