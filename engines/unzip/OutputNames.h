// Where an entry goes below the destination, after the naming options.
#pragma once

#include "PathSafety.h"

#include <string>

namespace tesk::unzip {

// Checks the stored name first (an unsafe name is refused whatever the options), then
// drops the folder part unless useFolderNames and turns spaces into "_" when asked.
RelativePath MapOutputPath(const std::string &entryName, bool useFolderNames,
                           bool spaceToUnderscore);

std::string JoinParts(const std::vector<std::string> &parts);

}  // namespace tesk::unzip
