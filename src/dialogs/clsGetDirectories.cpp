#include "clsGetDirectories.h"

#include <utility>

clsGetDirectories::clsGetDirectories(EventPump pump, char separator, Lister lister)
    : pump_(std::move(pump)), separator_(separator), lister_(std::move(lister)) {}

std::vector<clsGetDirectories::SubFolder> clsGetDirectories::SubFolders(
    const std::string &folder) {
    std::vector<SubFolder> names;
    std::vector<platform::DirectoryEntry> entries;
    // The folder's listing is complete (and closed) before any subfolder is visited.
    if (!lister_(folder, entries)) return names;
    for (const auto &entry : entries) {
        if (entry.isDirectory && entry.name != "RECYCLER")
            names.push_back({entry.name, !entry.isSymlink});
        if (pump_) pump_();
    }
    return names;
}

std::vector<std::string> clsGetDirectories::GetDirs(const std::string &Path) {
    std::string start = Path;
    if (start.empty() || start.back() != separator_) start += separator_;

    // An explicit stack instead of recursion: a deep tree must not exhaust the stack.
    struct Level {
        std::string path;
        std::vector<SubFolder> subFolders;
        size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({start, SubFolders(start)});
    while (!stack.empty()) {
        Level &level = stack.back();
        if (level.next == level.subFolders.size()) {
            stack.pop_back();
            continue;
        }
        const SubFolder &sub = level.subFolders[level.next++];
        std::string path = level.path + sub.name + separator_;
        result_.push_back(path);
        if (sub.enter) {
            auto below = SubFolders(path);  // may reallocate the stack: level is not used after
            stack.push_back({std::move(path), std::move(below)});
        }
    }
    return result_;
}
