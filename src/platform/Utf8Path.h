// UTF-8 text to and from file-system paths. Paths are bytes here and UTF-16 on Windows.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

inline std::filesystem::path PathFromUtf8(const std::string &text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path &path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

}  // namespace platform
