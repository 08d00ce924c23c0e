// clsGetDirectories: lists every folder below a starting folder, at any depth.
//
// Plain C++ on the UI thread. The walk is depth-first pre-order: a folder's entry is
// followed at once by everything below it, siblings in the order the system lists them.
// A folder named exactly "RECYCLER" is passed over with everything below it. A link to a
// folder is listed but never entered, so no walk can loop. A folder that cannot be read
// contributes nothing below it.
#pragma once

#include "DirectoryListing.h"
#include "PathSeparator.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class clsGetDirectories {
public:
    // Called after every folder entry looked at, so that the window can process its
    // pending events during a long walk.
    using EventPump = std::function<void()>;
    using Lister = std::function<bool(const std::string &, std::vector<platform::DirectoryEntry> &)>;

    explicit clsGetDirectories(EventPump pump = {}, char separator = platform::kPathSeparator,
                               Lister lister = platform::ListDirectory);

    // Appends the full path of every folder below Path, each ending with the separator, to
    // the object's result list and returns the whole list. Path itself is not listed; it
    // may be given with or without a trailing separator. The list only grows: a second
    // call returns the first result followed by the second.
    std::vector<std::string> GetDirs(const std::string &Path);
    int32_t Count() const { return static_cast<int32_t>(result_.size()); }

private:
    // The names of the subfolders of folder (ending with the separator) that are to be
    // listed, in the order the system gives them; each with whether it may be entered.
    struct SubFolder {
        std::string name;
        bool enter;
    };
    std::vector<SubFolder> SubFolders(const std::string &folder);

    EventPump pump_;
    char separator_;
    Lister lister_;
    std::vector<std::string> result_;
};
