// Which entries an extraction acts on: the include and exclude name tables.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tesk::unzip {

// Patterns match whole entry names, literally or with "*" and "?". An empty include list
// selects every entry; an exclude match always wins.
class EntrySelection {
public:
    EntrySelection(int32_t includeCount, const char *const *includeList, int32_t excludeCount,
                   const char *const *excludeList, bool caseSensitive);

    // Also records which include patterns matched.
    bool Selects(std::string_view name);
    // Include patterns that selected nothing so far.
    std::vector<std::string> UnmatchedIncludes() const;

private:
    static std::vector<std::string> Collect(int32_t count, const char *const *list);

    std::string Key(std::string_view name) const;

    std::vector<std::string> include_;
    // Literal include patterns by name (folded when matching ignores case): a full
    // selection of a large archive must not cost entries x patterns matches.
    std::unordered_map<std::string, std::vector<size_t>> literal_;
    std::vector<size_t> wildcard_;
    std::vector<bool> includeMatched_;
    std::vector<std::string> exclude_;
    bool caseSensitive_;
};

}  // namespace tesk::unzip
