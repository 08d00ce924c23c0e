// Name matching shared by both engines.
#pragma once

#include <string_view>

namespace tesk {

// "*" matches any run of characters (also "/"), "?" exactly one character (one UTF-8
// sequence). Without caseSensitive, ASCII letters match either case.
bool WildcardMatch(std::string_view pattern, std::string_view name, bool caseSensitive);

// Matching of one file name against a file specification's last part, with the rule of
// the Windows shell that a trailing ".*" also matches a name without a dot, so "*.*"
// matches every name.
bool FileSpecMatch(std::string_view pattern, std::string_view name, bool caseSensitive);

// True when the text holds "*" or "?".
bool HasWildcards(std::string_view text);

}  // namespace tesk
