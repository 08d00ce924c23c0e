#include "StoredName.h"

#include <filesystem>

namespace tesk::zip {

namespace fs = std::filesystem;

std::string ToForwardSlashes(std::string_view text) {
    std::string result(text);
    for (char &c : result)
        if (c == '\\') c = '/';
    return result;
}

namespace {

// Joins the parts of a normalised path with "/", leaving out root, "." and "..".
std::string RelativeText(const fs::path &path) {
    std::string result;
    for (const auto &part : path.relative_path()) {
        const std::string text = part.generic_string();
        if (text.empty() || text == "." || text == "..") continue;
        result = JoinStored(result, text);
    }
    return result;
}

}  // namespace

std::string StoredPathOf(const std::string &base, const std::string &specPath) {
    const fs::path spec = fs::path(specPath).lexically_normal();
    if (!spec.is_absolute()) return RelativeText(spec);
    const fs::path relative = spec.lexically_relative(fs::path(base).lexically_normal());
    if (!relative.empty() && *relative.begin() != "..") return RelativeText(relative);
    return RelativeText(spec);
}

std::string JoinStored(const std::string &parent, const std::string &child) {
    if (parent.empty()) return child;
    if (child.empty()) return parent;
    return parent + "/" + child;
}

std::string EntryName(const std::string &storedPath, bool isDir, bool junkDirNames) {
    std::string name = storedPath;
    if (junkDirNames) {
        const auto slash = name.rfind('/');
        if (slash != std::string::npos) name = name.substr(slash + 1);
    }
    if (isDir && !name.empty()) name += '/';
    return name;
}

}  // namespace tesk::zip
