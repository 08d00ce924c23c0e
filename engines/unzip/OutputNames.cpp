#include "OutputNames.h"

#include <algorithm>

namespace tesk::unzip {

RelativePath MapOutputPath(const std::string &entryName, bool useFolderNames,
                           bool spaceToUnderscore) {
    RelativePath path = SplitRelativePath(entryName);
    if (path.risk != NameRisk::None) return path;
    if (!useFolderNames) path.parts.erase(path.parts.begin(), path.parts.end() - 1);
    if (spaceToUnderscore)
        for (std::string &part : path.parts) std::replace(part.begin(), part.end(), ' ', '_');
    return path;
}

std::string JoinParts(const std::vector<std::string> &parts) {
    std::string joined;
    for (const std::string &part : parts) {
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    return joined;
}

}  // namespace tesk::unzip
