#include "wildcard.h"

#include <cstddef>

namespace tesk {
namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Length of the UTF-8 sequence that starts at text[i]; a stray byte counts as one.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + n > text.size()) return 1;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name, bool caseSensitive) {
    // Iterative matcher with one backtrack point: the last "*" seen and where it resumes.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += SequenceLength(name, n);
            continue;
        }
        if (p < pattern.size() &&
            (caseSensitive ? pattern[p] == name[n] : FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
            continue;
        }
        if (starP == std::string_view::npos) return false;
        p = starP + 1;
        starN += SequenceLength(name, starN);
        n = starN;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FileSpecMatch(std::string_view pattern, std::string_view name, bool caseSensitive) {
    if (WildcardMatch(pattern, name, caseSensitive)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return WildcardMatch(pattern.substr(0, pattern.size() - 2), name, caseSensitive);
    return false;
}

bool HasWildcards(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace tesk
