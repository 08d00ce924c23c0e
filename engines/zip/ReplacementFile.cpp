#include "ReplacementFile.h"

#include "UnnamedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tesk::zip {
namespace {

constexpr std::size_t kBuffer = 1u << 20;
constexpr uint64_t kWriteBackStep = 8u << 20;

// target followed by "." and six random letters.
std::string TemporaryName(const std::string &target) {
    static thread_local std::mt19937 random{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string name = target + ".";
    for (int i = 0; i < 6; ++i) name.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    return name;
}

std::string FolderOf(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReplacementFile::Begin() {
    Abandon();
    // Unnamed until complete, so a killed process leaves nothing beside the archive. Else a
    // named temporary file, opened with O_EXCL rather than mkstemp: mkstemp's 0600 would
    // outlive the rename, and the mode given to open has the umask applied like any new file.
    fd_ = OpenUnnamed(AT_FDCWD, FolderOf(target_).c_str(), 0666);
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        std::string name = TemporaryName(target_);
        fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temp_ = std::move(name);
            break;
        }
        if (errno != EEXIST) return Fail(errno);
    }
    if (fd_ < 0) return Fail(EEXIST);
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0 && ::fchmod(fd_, old.st_mode & 07777) != 0)
        return Fail(errno);
    buffer_.reserve(kBuffer);
    bufferStart_ = position_ = end_ = writtenBack_ = 0;
    error_ = 0;
    return true;
}

bool ReplacementFile::Write(const void *data, uint64_t length) {
    if (fd_ < 0) return Fail(EBADF);
    const auto *bytes = static_cast<const uint8_t *>(data);
    // The buffer holds bytes for the file offsets from bufferStart_ on, without gaps.
    if (!buffer_.empty() && bufferStart_ + buffer_.size() != position_ && !Flush()) return false;
    if (buffer_.empty()) bufferStart_ = position_;
    if (buffer_.size() + length > kBuffer) {
        if (!Flush()) return false;
        bufferStart_ = position_;
    }
    if (length >= kBuffer) {
        uint64_t done = 0;
        while (done < length) {
            const ssize_t n = ::pwrite(fd_, bytes + done, length - done,
                                       static_cast<off_t>(position_ + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
            done += static_cast<uint64_t>(n);
        }
        bufferStart_ = position_ + length;
    } else {
        buffer_.insert(buffer_.end(), bytes, bytes + length);
    }
    position_ += length;
    end_ = std::max(end_, position_);
    return true;
}

bool ReplacementFile::Seek(uint64_t position) {
    if (fd_ < 0) return Fail(EBADF);
    position_ = position;
    end_ = std::max(end_, position_);
    return true;
}

bool ReplacementFile::Flush() {
    uint64_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                                   static_cast<off_t>(bufferStart_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        done += static_cast<uint64_t>(n);
    }
    // Start writing back what is complete, so that the fsync at the end waits only for
    // the last part rather than for the whole archive.
    const uint64_t written = bufferStart_ + buffer_.size();
    if (written >= writtenBack_ + kWriteBackStep) {
        ::sync_file_range(fd_, static_cast<off_t>(writtenBack_),
                          static_cast<off_t>(written - writtenBack_), SYNC_FILE_RANGE_WRITE);
        writtenBack_ = written;
    }
    buffer_.clear();
    return true;
}

bool ReplacementFile::Commit() {
    if (fd_ < 0) return Fail(EBADF);
    // The data reaches the disk before the rename: after a power cut the target is then the
    // old file or the new one, never an empty one.
    if (!Flush()) return false;
    const int fd = fd_;
    fd_ = -1;
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    if (temp_.empty()) {
        const bool named = synced == 0 && NameUnnamed(fd, AT_FDCWD, target_, [this] {
            return TemporaryName(target_);
        });
        const int cause = synced != 0 ? synced : named ? 0 : errno;
        ::close(fd);
        Abandon();
        return named || Fail(cause);
    }
    const int closed = ::close(fd) == 0 ? 0 : errno;
    if (synced == 0 && closed == 0 && ::rename(temp_.c_str(), target_.c_str()) == 0) {
        temp_.clear();
        return true;
    }
    const int cause = synced != 0 ? synced : closed != 0 ? closed : errno;
    Abandon();
    return Fail(cause);
}

void ReplacementFile::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    buffer_.clear();
}

bool ReplacementFile::Fail(int cause) {
    error_ = cause;
    return false;
}

}  // namespace tesk::zip
