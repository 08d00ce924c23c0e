#include "CurrentDirectory.h"

#include "TeskError.h"
#include "Utf8Path.h"

#include <system_error>

namespace platform {

void ChangeCurrentDirectory(const std::string &path) {
    std::error_code ec;
    std::filesystem::current_path(PathFromUtf8(path), ec);
    if (ec) throw TeskError(TeskError::kPathNotFound, "", "Path not found: " + path);
}

std::string CurrentDirectory() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string() : Utf8FromPath(p);
}

}  // namespace platform
