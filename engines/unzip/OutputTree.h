// The destination folder: every file-system change of an extraction goes through here.
//
// Folders are walked one part at a time with openat(O_NOFOLLOW), so no path ever passes
// through a symbolic link, whether the destination had it or the archive made it. Files
// are made without a name and linked into place only when complete (under a temporary
// name, renamed into place, where the file system cannot); links are made under a
// temporary name. Used by the calling thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <sys/stat.h>
#include <vector>

namespace tesk::unzip {

enum class TreeFault {
    None,
    ThroughLink,  // a folder part is a symbolic link
    NotAFolder,   // a folder part is a file
    System,       // errno tells
};

struct TreeResult {
    TreeFault fault = TreeFault::None;
    int error = 0;  // errno for System
};

std::string TreeFaultText(const TreeResult &result);

// A file or link being written: unnamed, or a temporary name in the target's folder.
// Removed when the object goes away without Commit.
class PendingOutput {
public:
    PendingOutput() = default;
    ~PendingOutput();
    PendingOutput(const PendingOutput &) = delete;
    PendingOutput &operator=(const PendingOutput &) = delete;

    int fd() const { return fd_; }
    // A file made by CreateSpool gets its name in folderFd instead, which must be on the
    // same mount as the destination (Commit fails with EXDEV otherwise).
    void PlaceIn(int folderFd) { folderFd_ = folderFd; }
    // Sets the permission bits (mode < 0 leaves them) and the time, then renames into
    // place, replacing whatever file or link had that name.
    bool Commit(const std::string &finalName, int mode, int64_t mtime, int &error);

private:
    friend class OutputTree;
    void Discard();

    int folderFd_ = -1;  // not owned
    int fd_ = -1;        // files only
    bool isLink_ = false;
    bool hasMode_ = false;  // created with its final permission bits already
    std::string tempName_;  // empty for an unnamed file
};

class OutputTree {
public:
    ~OutputTree();

    // Opens the destination, creating it (and its parents) when missing.
    bool Open(const std::string &root, std::string &error);

    // Opens the folder made of the first count parts, creating missing folders. The
    // descriptor stays owned by the tree and valid until the next call (so a pending
    // output must be committed or dropped before the next folder is opened). Folders are
    // never removed while the tree is open, so open descriptors stay the right folders.
    TreeResult OpenFolder(const std::vector<std::string> &parts, size_t count, int &folderFd);

    // What is at name in the folder, without following a link. False when nothing is.
    static bool Existing(int folderFd, const std::string &name, struct stat &st);

    // A new temporary file or link. mode: the file's permission bits, or -1 for 0666 less
    // the umask. The file never grants write access to others while it is being written.
    bool CreateFile(int folderFd, int mode, PendingOutput &output, int &error);
    bool CreateLink(int folderFd, const std::string &target, PendingOutput &output, int &error);
    // An unnamed file in the destination for a worker thread to fill (thread-safe, unlike the
    // rest), or null when the file system cannot make one or has less than needed bytes
    // free (room for the rest of the run, so that filling ahead never takes the space of an
    // entry before it).
    std::shared_ptr<PendingOutput> CreateSpool(int mode, uint64_t needed) const;

    // Folders this tree created, in order of creation, as "/"-joined paths.
    const std::vector<std::string> &createdFolders() const { return created_; }

    // Sets permission bits (mode < 0 leaves them) and modification time of a folder
    // below the destination.
    void SetFolderAttributes(const std::vector<std::string> &parts, int mode,
                             int64_t mtime);

private:
    struct StartMode {
        int bits;      // the permission bits to create the file with
        bool final;    // they are the file's final bits once the umask applied
    };
    StartMode ModeAtCreation(int mode) const;
    void CloseCached();
    void CloseUncached();
    template <typename Make>
    bool CreateTemporary(int folderFd, bool isLink, PendingOutput &output, int &error, Make make);

    int rootFd_ = -1;
    int umask_ = -1;     // the process's, read when the destination is opened; -1 unknown
    static constexpr size_t kCachedFolders = 256;
    // The folders open below the destination, by name from the destination down.
    struct OpenFolderNode {
        int fd = -1;
        std::unordered_map<std::string, std::unique_ptr<OpenFolderNode>> children;
    };
    OpenFolderNode folders_;  // the destination itself: fd unused
    size_t cachedCount_ = 0;
    int uncachedFd_ = -1;  // the folder last opened when the cache had no room for it
    std::vector<std::string> created_;
};

}  // namespace tesk::unzip
