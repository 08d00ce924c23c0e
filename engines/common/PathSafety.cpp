#include "PathSafety.h"

namespace tesk {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool HasDriveLetter(std::string_view text) {
    return text.size() >= 2 && text[1] == ':' &&
           ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

// Parts of text split at both separators.
std::vector<std::string_view> SplitAtSeparators(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || IsSeparator(text[i])) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

}  // namespace

RelativePath SplitRelativePath(std::string_view name) {
    RelativePath result;
    if (!name.empty() && IsSeparator(name[0])) {
        result.risk = NameRisk::Absolute;
        return result;
    }
    if (HasDriveLetter(name)) {
        result.risk = NameRisk::DriveLetter;
        return result;
    }
    for (std::string_view part : SplitAtSeparators(name)) {
        if (part == "..") {
            result.risk = NameRisk::ParentReference;
            return result;
        }
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/') {
            const std::string_view part = name.substr(start, i - start);
            if (!part.empty() && part != ".") result.parts.emplace_back(part);
            start = i + 1;
        }
    }
    if (result.parts.empty()) result.risk = NameRisk::Empty;
    return result;
}

const char *NameRiskText(NameRisk risk) {
    switch (risk) {
    case NameRisk::None: return "safe";
    case NameRisk::Empty: return "empty name";
    case NameRisk::Absolute: return "absolute path";
    case NameRisk::DriveLetter: return "drive letter";
    case NameRisk::ParentReference: return "parent folder reference (..)";
    }
    return "unsafe name";
}

bool LinkTargetStaysInside(std::string_view target, std::size_t linkDepth) {
    if (target.empty() || IsSeparator(target[0]) || HasDriveLetter(target)) return false;
    std::size_t climbs = 0;
    bool descended = false;
    for (std::string_view part : SplitAtSeparators(target)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (descended) return false;
            if (++climbs > linkDepth) return false;
        } else {
            descended = true;
        }
    }
    return true;
}

}  // namespace tesk
