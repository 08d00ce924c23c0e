// Messages of one engine call and its result code.
#pragma once

#include "Progress.h"
#include "vbuzip10.h"

#include <string>

namespace tesk::unzip {

// Sends messages through PrintCallback as MessageLevel allows, and keeps the highest
// result code raised. Used on the calling thread only.
class Reporter {
public:
    Reporter(UzPrintCallback print, int32_t messageLevel)
        : print_(print), level_(messageLevel) {}

    // A line about one entry (level 0 only).
    void Info(const std::string &text);
    // A warning or error (every level); raises the result to at least code.
    void Problem(int32_t code, const std::string &text);
    // A warning that changes no result (levels 0 and 1).
    void Notice(const std::string &text) {
        if (level_ <= 1) Send(text);
    }
    // The closing summary (levels 0 and 1).
    void Summary(const std::string &text);
    // A progress line (levels 0 and 1).
    void Progress(const std::string &text);
    // Reset by every message sent.
    const ProgressClock &clock() const { return clock_; }

    void Raise(int32_t code);
    int32_t result() const { return result_; }

private:
    void Send(const std::string &text);

    UzPrintCallback print_;
    int32_t level_;
    int32_t result_ = UZ_OK;
    ProgressClock clock_;
};

}  // namespace tesk::unzip
