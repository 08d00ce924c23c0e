// The run's messages to the caller's print callback, filtered by the message level.
#pragma once

#include "Progress.h"
#include "vbzip11.h"

#include <string>
#include <string_view>

namespace tesk::zip {

enum class MessageLevel { Verbose, Normal, Quiet };

// Verbose: entry lines, summary, warnings and errors. Normal: summary, warnings, errors.
// Quiet: errors only. Progress lines come at Verbose and Normal. Losses (a file the user chose
// left out or changed) come at every level. Every text is sent as UTF-8, and shortened in the
// middle to less than 1024 bytes, since callers drop longer ones: the start says what
// happened, the end holds the cause. Call only on the thread that called the engine.
class Reporter {
public:
    Reporter(ZpPrintCallback print, MessageLevel level) : print_(print), level_(level) {}

    void Entry(std::string_view text) const;
    void Summary(std::string_view text) const;
    void Warning(std::string_view text) const;
    void Error(std::string_view text) const;
    void Loss(std::string_view text) const;
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

// Files the user chose that a run leaves out or stores other than they were at the start
// (unreadable folder, changed while read). The run goes on; its result says that not all
// went well.
class Losses {
public:
    // Sends message (at every level) and counts it.
    void Add(const Reporter &reporter, const std::string &message);
    int Count() const { return count_; }
    // The first message, for the summary.
    const std::string &First() const { return first_; }

private:
    int count_ = 0;
    std::string first_;
};

// The text with each byte that is not part of well-formed UTF-8 written as "\xHH" (file
// names on disk need not be UTF-8).
std::string PrintableUtf8(std::string_view text);

// Text of at most maxBytes: a longer one keeps its start and end around "...", never
// splitting a UTF-8 sequence.
std::string ShortenMiddle(std::string_view text, std::size_t maxBytes);

}  // namespace tesk::zip
