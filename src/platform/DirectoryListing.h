// Listing of one folder's entries, in the order the system delivers them.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct DirectoryEntry {
    std::string name;          // the bare name, UTF-8
    bool isDirectory = false;  // a folder, or a link that leads to one
    bool isSymlink = false;    // the entry itself is a symbolic link
};

// Fills entries with the entries of folder ("." and ".." never appear). Returns false when
// the folder cannot be opened; entries then stays empty. An entry whose type cannot be
// read counts as no folder. A failure part way leaves the entries read so far.
bool ListDirectory(const std::string &folder, std::vector<DirectoryEntry> &entries);

}  // namespace platform
