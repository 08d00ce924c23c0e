// Whether an entry may replace a file that already exists.
#pragma once

#include "vbuzip10.h"

#include <cstdint>
#include <string>

namespace tesk::unzip {

enum class ReplaceDecision {
    Replace,
    KeepExisting,  // neither replacing option is set
    KeepNewer,     // ExtractOnlyNewer and the file is at least as new
    KeepAnswered,  // the caller answered no
};

// Applies OverwriteExisting, PromptToOverwrite (asking ReplaceCallback) and
// ExtractOnlyNewer; remembers "to all" answers for the rest of the call. ExtractOnlyNewer
// alone replaces an older file: asking to update implies replacing what is out of date.
class ReplacePolicy {
public:
    ReplacePolicy(const UnzipOptions &options, UzReplaceCallback ask)
        : options_(options), ask_(ask) {}

    // entryTime and existingTime are Unix seconds; entryTimeIsDos when the entry only has a
    // DOS time (2-second steps).
    ReplaceDecision Decide(const std::string &relativeName, int64_t entryTime,
                           bool entryTimeIsDos, int64_t existingTime);

private:
    const UnzipOptions &options_;
    UzReplaceCallback ask_;
    bool replaceAll_ = false;
    bool keepAll_ = false;
};

}  // namespace tesk::unzip
