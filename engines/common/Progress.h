// Pacing of the progress messages both engines send while a run goes on, so that a caller
// that repaints on each message stays live. Used on the engine caller's thread only.
#pragma once

#include <chrono>
#include <cstdint>

namespace tesk {

// Whole percent of done in total (0 when total is 0), never above 100.
int Percent(uint64_t done, uint64_t total);

// How many tenths (10%, 20%, ..., 90%) of total lie in (before, after]. Large entries report
// each tenth they pass, so a caller sees a known number of messages per entry whatever the
// speed; the time rule below covers everything between.
int TenthsPassed(uint64_t before, uint64_t after, uint64_t total);

// True once kInterval has passed since the last message the run sent.
class ProgressClock {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{250};
    // How long a wait for worker threads may block before it looks at the clock again.
    static constexpr std::chrono::milliseconds kWaitStep{50};

    bool Due() const { return Clock::now() - last_ >= kInterval; }
    // A message was just sent.
    void Sent() { last_ = Clock::now(); }

private:
    Clock::time_point last_ = Clock::now();
};

}  // namespace tesk
