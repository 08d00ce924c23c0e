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
    bool isLink = false;     // stored as a link: its data is linkTarget
    std::string linkTarget;
    struct stat info {};     // of the file itself (links to files followed), of a stored link
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
// folders: a link to a folder, or one that leads nowhere, is stored as the link, with a
// warning. A name starting with "." is an ordinary file here: this platform has no hidden
// attribute. Walks read each folder through its descriptor and reach deep folders a piece of
// the path at a time, so no path is too long and no depth too great.
class FileSpecExpander {
public:
    FileSpecExpander(ExpandOptions options, const Reporter &reporter, Losses &losses)
        : options_(std::move(options)), reporter_(reporter), losses_(losses) {}

    // Adds what the file specifications name to items, in the order found. Returns ZP_OK,
    // ZP_ERR_READ (a named file that cannot be reached or is a special file) or
    // ZP_ERR_DUPLICATE; each failure is reported. A folder that cannot be read or entered,
    // or a special file in a folder, is a loss: named with its cause, and the walk goes on; so is a file
    // named without wildcards that does not exist. Patterns matching nothing are reported as
    // warnings; the caller decides what an empty result means.
    int32_t Expand(const std::vector<std::string> &specs, std::vector<FoundItem> &items);
    // Of the losses, how many are files named without wildcards that do not exist.
    int MissingNames() const { return missingNames_; }

private:
    // One name of a folder, inspected through the folder's descriptor.
    struct Listed {
        std::string name;
        struct stat link {};   // the name itself
        struct stat info {};   // where a symlink leads; the same as link otherwise
        int followError = 0;   // errno of following a symlink that leads nowhere
        std::string target;    // a symlink's target
    };
    struct Folder {
        std::string path, stored;
        std::vector<Listed> names;
        std::size_t next = 0;
    };

    int32_t ExpandOne(const std::string &spec);
    int32_t ExpandPattern(const std::string &folder, const std::string &storedFolder,
                          const std::string &pattern);
    // The folder's entry (for "*" and "*.*") and its matching files; with descend also
    // every folder below. info: the folder's own.
    int32_t List(const std::string &folder, const std::string &storedFolder,
                 const struct stat &info, const std::string &pattern, bool descend);
    // Reads the folder's names; a folder that cannot be read or entered is a loss.
    // mayBeLink: the folder was named, so a symlink to it is followed.
    void ReadFolder(Folder &folder, bool mayBeLink);
    // One name found in a folder listing that is not a folder.
    int32_t ConsiderListed(const std::string &path, const std::string &stored,
                           const Listed &listed, const std::string &pattern);
    int32_t AddFile(const std::string &path, const std::string &storedPath,
                    const struct stat &info);
    void AddFolder(const std::string &path, const std::string &storedPath,
                   const struct stat &info);
    int32_t AddLink(const std::string &path, const std::string &storedPath, const Listed &listed);
    int32_t Add(FoundItem item);
    void Lose(const std::string &what);

    ExpandOptions options_;
    const Reporter &reporter_;
    Losses &losses_;
    std::vector<FoundItem> *items_ = nullptr;
    std::unordered_map<std::string, std::size_t> byName_;
    bool matched_ = false;
    int missingNames_ = 0;
};

}  // namespace tesk::zip
