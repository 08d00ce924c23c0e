#include "DirectoryListing.h"

#include "Utf8Path.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

bool ListDirectory(const std::string &folder, std::vector<DirectoryEntry> &entries) {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(PathFromUtf8(folder), ec);
    if (ec) return false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        DirectoryEntry entry;
        entry.name = Utf8FromPath(it->path().filename());
        std::error_code typeError;
        entry.isSymlink = it->is_symlink(typeError);
        entry.isDirectory = it->is_directory(typeError) && !typeError;
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace platform
