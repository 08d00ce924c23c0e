// Turns file specifications into the list of files and folders to store.
#pragma once

#include "Reporter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace tesk::zip {

struct FoundItem {
    std::string path;        // file-system path to read
    std::string entryName;   // stored name; folders end with "/"
    bool isDir = false;
    struct stat info {};     // of the file itself (symlinks followed)
};

struct ExpandOptions {
    std::string base;        // absolute folder of relative file specifications
    bool recurse = false;
    bool noDirEntries = false;
    bool junkDirNames = false;
    // A file never stored: the archive being written.
    std::optional<std::pair<dev_t, ino_t>> exclude;
};

// A file specification is a path whose last part may hold "*" and "?" (Windows rules: "*.*"
// matches every name). It names a file (added), a folder (its entry; with recursion its
// tree), or the files of a folder matching the pattern (with recursion also in every
// folder below). Folder entries come with "*" and "*.*" only, for the folder named and
// every folder walked. Walks list each folder in name order and never enter symlinked
// folders. A name starting with "." is an ordinary file here: this platform has no hidden
// attribute.
class FileSpecExpander {
public:
    FileSpecExpander(ExpandOptions options, const Reporter &reporter)
        : options_(std::move(options)), reporter_(reporter) {}

    // Adds what the file specifications name to items, in the order found. Returns ZP_OK,
    // ZP_ERR_READ (a named file that cannot be read, a special file, an unreadable folder)
    // or ZP_ERR_DUPLICATE; each failure is reported. File specifications matching nothing are
    // reported as warnings; the caller decides what an empty result means.
    int32_t Expand(const std::vector<std::string> &specs, std::vector<FoundItem> &items);

private:
    int32_t ExpandOne(const std::string &spec);
    int32_t ExpandPattern(const std::string &folder, const std::string &storedFolder,
                          const std::string &pattern);
    // The folder's entry (for "*" and "*.*") and its matching files; with descend also
    // every folder below.
    int32_t List(const std::string &folder, const std::string &storedFolder,
                 const std::string &pattern, bool descend);
    // One name found in a folder listing; sets matched when something was taken.
    int32_t ConsiderListed(const std::string &folder, const std::string &storedFolder,
                           const std::string &name, const std::string &pattern, bool walking);
    int32_t AddFile(const std::string &path, const std::string &storedPath,
                    const struct stat &info);
    void AddFolder(const std::string &path, const std::string &storedPath,
                   const struct stat &info);
    int32_t Add(FoundItem item);
    bool ListFolder(const std::string &folder, std::vector<std::string> &names, int32_t &code);

    ExpandOptions options_;
    const Reporter &reporter_;
    std::vector<FoundItem> *items_ = nullptr;
    std::unordered_map<std::string, std::size_t> byName_;
    bool matched_ = false;
};

}  // namespace tesk::zip
