// Text conventions shared by the two engine bindings.
#pragma once

#include "TeskError.h"
#include "engine_abi.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Turns each "/" after the first character into separator. Returns the 1-based position
// just after the last "/" passed, or 1 when there was none.
int32_t ToBackslashes(std::string &text, char separator);

// The text without leading and trailing spaces.
std::string TrimSpaces(const std::string &text);

namespace platform {

using NameTable = std::array<const char *, TESK_NAMELIST_SLOTS>;

// An engine name table of the first count names: those names, then an empty text, then
// null pointers. The names must outlive the table. A count outside 0..1023 (or beyond the
// names given) throws TeskError 9 with the given source.
NameTable BuildNameList(int32_t count, const std::vector<std::string> &names,
                        const std::string &errorSource);

}  // namespace platform
