// Rules that keep archive entry names and link targets below a destination folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tesk {

enum class NameRisk {
    None,
    Empty,            // nothing left after dropping "." and empty parts
    Absolute,         // starts with "/" or "\"
    DriveLetter,      // starts with "X:"
    ParentReference,  // a ".." part, with "/" or "\" as separator
};

struct RelativePath {
    NameRisk risk = NameRisk::None;
    // The "/"-separated parts without "." and empty ones; empty when risk is not None.
    std::vector<std::string> parts;
};

// Checks an entry name for use as a path below the destination. "\" counts as a
// separator for the checks on every platform (names written on Windows use it) but is
// kept as an ordinary character in the parts.
RelativePath SplitRelativePath(std::string_view name);

// A short description of a risk, for messages ("absolute path", ...).
const char *NameRiskText(NameRisk risk);

// True when a symbolic link placed linkDepth folders below the destination and pointing
// at target cannot lead outside the destination. Accepted targets are relative, and
// their ".." parts all come first and climb at most linkDepth folders; the folders they
// climb out of are real folders (never links), so the result holds whatever links the
// remaining downward parts pass through, as long as those links obey the same rule.
bool LinkTargetStaysInside(std::string_view target, std::size_t linkDepth);

}  // namespace tesk
