// The run's messages to the caller's print callback, filtered by the message level.
#pragma once

#include "Progress.h"
#include "vbzip11.h"

#include <string>
#include <string_view>

namespace tesk::zip {

enum class MessageLevel { Verbose, Normal, Quiet };

// Verbose: entry lines, summary, warnings and errors. Normal: summary, warnings, errors.
// Quiet: errors only. Progress lines come at Verbose and Normal. Every text is cut to less than 1024 bytes (at a UTF-8 character
// boundary), since callers drop longer ones. Call only on the thread that called the engine.
class Reporter {
public:
    Reporter(ZpPrintCallback print, MessageLevel level) : print_(print), level_(level) {}

    void Entry(std::string_view text) const;
    void Summary(std::string_view text) const;
    void Warning(std::string_view text) const;
    void Error(std::string_view text) const;
    void Progress(std::string_view text) const;
    // Reset by every message sent.
    const ProgressClock &clock() const { return clock_; }

    static constexpr std::size_t kMaxMessage = 1023;

private:
    void Send(std::string_view text) const;

    ZpPrintCallback print_;
    MessageLevel level_;
    mutable ProgressClock clock_;  // since the last message of any kind
};

// Cuts text to at most maxBytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace tesk::zip
