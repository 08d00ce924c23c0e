#include "OutputTree.h"

#include "UnnamedFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tesk::unzip {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string TempName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = ".tesk-";
    uint64_t value = generator();
    for (int i = 0; i < 10; ++i, value /= 36) name += kDigits[value % 36];
    return name;
}

// Opens part below folderFd as a folder, creating it when missing and create is set.
TreeResult OpenPart(int folderFd, const std::string &part, bool create, int &fd,
                    bool &wasCreated) {
    wasCreated = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        fd = openat(folderFd, part.c_str(), kFolderFlags);
        if (fd >= 0) return {};
        const int error = errno;
        if (error == ENOENT && create && attempt == 0) {
            if (mkdirat(folderFd, part.c_str(), 0777) == 0)
                wasCreated = true;
            else if (errno != EEXIST)
                return {TreeFault::System, errno};
            continue;
        }
        if (error == ELOOP || error == ENOTDIR) {
            struct stat st {};
            if (fstatat(folderFd, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                return {S_ISLNK(st.st_mode) ? TreeFault::ThroughLink : TreeFault::NotAFolder, 0};
        }
        return {TreeFault::System, error};
    }
    return {TreeFault::System, ENOENT};
}

void SetTimes(int fd, const char *name, int64_t mtime, int flags) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(mtime);
    times[1].tv_nsec = 0;
    if (name)
        utimensat(fd, name, times, flags);
    else
        futimens(fd, times);
}

// The process's umask without changing it (reading it with umask() would, briefly, for
// every thread): from /proc, or -1 when that cannot be read.
int ProcessUmask() {
    FILE *status = std::fopen("/proc/self/status", "re");
    if (!status) return -1;
    char line[256];
    int found = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "Umask:", 6) == 0)
            found = static_cast<int>(std::strtol(line + 6, nullptr, 8));
    std::fclose(status);
    return found;
}

}  // namespace

std::string TreeFaultText(const TreeResult &result) {
    switch (result.fault) {
    case TreeFault::None: return "no fault";
    case TreeFault::ThroughLink: return "path passes through a symbolic link";
    case TreeFault::NotAFolder: return "a file is in the way of a folder";
    case TreeFault::System: return std::strerror(result.error);
    }
    return "unknown fault";
}

PendingOutput::~PendingOutput() { Discard(); }

void PendingOutput::Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempName_.empty()) unlinkat(folderFd_, tempName_.c_str(), 0);
    tempName_.clear();
}

bool PendingOutput::Commit(const std::string &finalName, int mode, int64_t mtime,
                           int &error) {
    if (isLink_) {
        SetTimes(folderFd_, tempName_.c_str(), mtime, AT_SYMLINK_NOFOLLOW);
    } else {
        // Never setuid, setgid or sticky: only the permission bits travel.
        if (mode >= 0 && !hasMode_ && fchmod(fd_, static_cast<mode_t>(mode & 0777)) != 0) {
            error = errno;
            return false;
        }
        SetTimes(fd_, nullptr, mtime, 0);
        if (tempName_.empty()) {
            // An unnamed file: named in one step, so no temporary name is ever seen.
            const bool named = NameUnnamed(fd_, folderFd_, finalName, TempName);
            error = errno;
            const int rc = close(fd_);
            fd_ = -1;
            if (named && rc != 0) error = errno;
            return named && rc == 0;
        }
        const int rc = close(fd_);
        fd_ = -1;
        if (rc != 0) {
            error = errno;
            return false;
        }
    }
    if (renameat(folderFd_, tempName_.c_str(), folderFd_, finalName.c_str()) != 0) {
        error = errno;
        return false;
    }
    tempName_.clear();
    return true;
}

OutputTree::~OutputTree() {
    CloseCached();
    if (rootFd_ >= 0) close(rootFd_);
}

void OutputTree::CloseCached() {
    // Iteratively: a tree thousands of folders deep would overflow a recursive walk.
    std::vector<std::unique_ptr<OpenFolderNode>> pending;
    for (auto &child : folders_.children) pending.push_back(std::move(child.second));
    folders_.children.clear();
    while (!pending.empty()) {
        std::unique_ptr<OpenFolderNode> node = std::move(pending.back());
        pending.pop_back();
        close(node->fd);
        for (auto &child : node->children) pending.push_back(std::move(child.second));
        node->children.clear();
    }
    cachedCount_ = 0;
    CloseUncached();
}

void OutputTree::CloseUncached() {
    if (uncachedFd_ >= 0) close(uncachedFd_);
    uncachedFd_ = -1;
}

bool OutputTree::Open(const std::string &root, std::string &error) {
    umask_ = ProcessUmask();
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    rootFd_ = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0) {
        // Why the folder could not be made tells more than its absence.
        error = ec ? ec.message() : std::strerror(errno);
        return false;
    }
    return true;
}

TreeResult OutputTree::OpenFolder(const std::vector<std::string> &parts, size_t count,
                                  int &folderFd) {
    // Entries of one folder are often interleaved with those of its subfolders, so every
    // folder opened stays open (up to kCachedFolders): a walk starts at the deepest one
    // already open instead of at the destination.
    CloseUncached();
    OpenFolderNode *node = &folders_;
    size_t start = 0;
    for (; start < count; ++start) {
        const auto found = node->children.find(parts[start]);
        if (found == node->children.end()) break;
        node = found->second.get();
    }
    int current = start == 0 ? rootFd_ : node->fd;
    if (start == count) {
        folderFd = current;
        return {};
    }
    if (cachedCount_ + (count - start) > kCachedFolders) {
        // Start over from the destination rather than keep a descriptor per folder.
        CloseCached();
        start = 0;
        current = rootFd_;
        node = &folders_;
    }
    // Folders beyond the cache's room (a very deep tree) are closed once passed.
    OpenFolderNode *parent = node;
    bool owned = false;
    for (size_t i = start; i < count; ++i) {
        int next = -1;
        bool wasCreated = false;
        const TreeResult step = OpenPart(current, parts[i], true, next, wasCreated);
        if (owned) close(current);
        if (step.fault != TreeFault::None) return step;
        if (wasCreated) {
            std::string path;
            for (size_t j = 0; j <= i; ++j) path += (j ? "/" : "") + parts[j];
            created_.push_back(std::move(path));
        }
        owned = owned || cachedCount_ >= kCachedFolders;
        if (!owned) {
            auto child = std::make_unique<OpenFolderNode>();
            child->fd = next;
            parent = parent->children.emplace(parts[i], std::move(child)).first->second.get();
            ++cachedCount_;
        }
        current = next;
    }
    if (owned) uncachedFd_ = current;
    folderFd = current;
    return {};
}

bool OutputTree::Existing(int folderFd, const std::string &name, struct stat &st) {
    return fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Calls make with fresh temporary names until one is free; make returns -1 and sets errno
// on failure, else a descriptor (or 0 for a link).
template <typename Make>
bool OutputTree::CreateTemporary(int folderFd, bool isLink, PendingOutput &output, int &error,
                                 Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TempName();
        const int fd = make(name);
        if (fd >= 0) {
            output.folderFd_ = folderFd;
            output.fd_ = isLink ? -1 : fd;
            output.isLink_ = isLink;
            output.tempName_ = std::move(name);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = errno;
    return false;
}

OutputTree::StartMode OutputTree::ModeAtCreation(int mode) const {
    // Bits that may be set at creation: no write access for group or others before the
    // data is complete. When the umask leaves them as they are, no fchmod is needed later.
    const int createMode = mode < 0 ? 0666 : mode & 0755;
    const bool hasMode = mode >= 0 && umask_ >= 0 && (createMode & ~umask_) == (mode & 0777);
    return {mode < 0 || hasMode ? createMode : 0600, hasMode};
}

std::shared_ptr<PendingOutput> OutputTree::CreateSpool(int mode, uint64_t needed) const {
    struct statvfs space {};
    if (fstatvfs(rootFd_, &space) != 0 ||
        static_cast<uint64_t>(space.f_bavail) * space.f_frsize < needed)
        return nullptr;
    const StartMode start = ModeAtCreation(mode);
    const int fd = OpenUnnamed(rootFd_, ".", start.bits);
    if (fd < 0) return nullptr;
    auto output = std::make_shared<PendingOutput>();
    output->folderFd_ = rootFd_;
    output->fd_ = fd;
    output->hasMode_ = start.final;
    return output;
}

bool OutputTree::CreateFile(int folderFd, int mode, PendingOutput &output, int &error) {
    const StartMode start = ModeAtCreation(mode);
    const int startMode = start.bits;
    const bool hasMode = start.final;
    // Without a name first, so that a killed process leaves nothing; a named temporary file
    // where the file system cannot do that.
    const int unnamed = OpenUnnamed(folderFd, ".", startMode);
    bool made = unnamed >= 0;
    if (made) {
        output.folderFd_ = folderFd;
        output.fd_ = unnamed;
        output.isLink_ = false;
        output.tempName_.clear();
    } else {
        made = CreateTemporary(folderFd, false, output, error, [&](const std::string &name) {
            return openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          startMode);
        });
    }
    output.hasMode_ = made && hasMode;
    return made;
}

bool OutputTree::CreateLink(int folderFd, const std::string &target, PendingOutput &output,
                            int &error) {
    return CreateTemporary(folderFd, true, output, error, [&](const std::string &name) {
        return symlinkat(target.c_str(), folderFd, name.c_str());
    });
}

void OutputTree::SetFolderAttributes(const std::vector<std::string> &parts, int mode,
                                     int64_t mtime) {
    if (parts.empty()) return;
    int parent = -1;
    if (OpenFolder(parts, parts.size() - 1, parent).fault != TreeFault::None) return;
    const int fd = openat(parent, parts.back().c_str(), kFolderFlags);
    if (fd < 0) return;
    if (mode >= 0) fchmod(fd, static_cast<mode_t>(mode & 0777));
    SetTimes(fd, nullptr, mtime, 0);
    close(fd);
}

}  // namespace tesk::unzip
