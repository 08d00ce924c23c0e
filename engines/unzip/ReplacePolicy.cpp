#include "ReplacePolicy.h"

namespace tesk::unzip {

ReplaceDecision ReplacePolicy::Decide(const std::string &relativeName, int64_t entryTime,
                                      bool entryTimeIsDos, int64_t existingTime) {
    if (options_.ExtractOnlyNewer) {
        // A DOS time is rounded to even seconds, so compare with the file's time rounded
        // the same way, or a file would look older than its own archived copy.
        if (entryTimeIsDos) existingTime += existingTime & 1;
        if (entryTime <= existingTime) return ReplaceDecision::KeepNewer;
    }
    if (options_.OverwriteExisting) return ReplaceDecision::Replace;
    if (options_.PromptToOverwrite) {
        if (replaceAll_) return ReplaceDecision::Replace;
        if (keepAll_) return ReplaceDecision::KeepAnswered;
        const int32_t answer = ask_ ? ask_(relativeName.c_str()) : UZ_REPLACE_NO;
        switch (answer) {
        case UZ_REPLACE_ALL: replaceAll_ = true; return ReplaceDecision::Replace;
        case UZ_REPLACE_YES: return ReplaceDecision::Replace;
        case UZ_REPLACE_NONE: keepAll_ = true; return ReplaceDecision::KeepAnswered;
        default: return ReplaceDecision::KeepAnswered;
        }
    }
    return options_.ExtractOnlyNewer ? ReplaceDecision::Replace : ReplaceDecision::KeepExisting;
}

}  // namespace tesk::unzip
