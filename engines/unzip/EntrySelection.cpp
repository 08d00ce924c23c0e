#include "EntrySelection.h"

#include "vbuzip10.h"
#include "wildcard.h"

#include <algorithm>

namespace tesk::unzip {

std::vector<std::string> EntrySelection::Collect(int32_t count, const char *const *list) {
    std::vector<std::string> names;
    if (!list) return names;
    count = std::clamp<int32_t>(count, 0, TESK_NAMELIST_SLOTS);
    for (int32_t i = 0; i < count; ++i)
        if (list[i] && *list[i]) names.emplace_back(list[i]);
    return names;
}

EntrySelection::EntrySelection(int32_t includeCount, const char *const *includeList,
                               int32_t excludeCount, const char *const *excludeList,
                               bool caseSensitive)
    : include_(Collect(includeCount, includeList)),
      includeMatched_(include_.size(), false),
      exclude_(Collect(excludeCount, excludeList)),
      caseSensitive_(caseSensitive) {
    for (size_t i = 0; i < include_.size(); ++i) {
        if (HasWildcards(include_[i]))
            wildcard_.push_back(i);
        else
            literal_[Key(include_[i])].push_back(i);
    }
}

std::string EntrySelection::Key(std::string_view name) const {
    std::string key(name);
    if (!caseSensitive_)
        for (char &c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

bool EntrySelection::Selects(std::string_view name) {
    for (const std::string &pattern : exclude_)
        if (WildcardMatch(pattern, name, caseSensitive_)) return false;
    if (include_.empty()) return true;
    bool selected = false;
    if (auto found = literal_.find(Key(name)); found != literal_.end()) {
        for (size_t i : found->second) includeMatched_[i] = true;
        selected = true;
    }
    for (size_t i : wildcard_) {
        if (WildcardMatch(include_[i], name, caseSensitive_)) {
            includeMatched_[i] = true;
            selected = true;
        }
    }
    return selected;
}

std::vector<std::string> EntrySelection::UnmatchedIncludes() const {
    std::vector<std::string> unmatched;
    for (size_t i = 0; i < include_.size(); ++i)
        if (!includeMatched_[i]) unmatched.push_back(include_[i]);
    return unmatched;
}

}  // namespace tesk::unzip
