// A file system mounted over a folder for a test's life: needs root (and the capability).
#pragma once

#include <string>
#include <sys/mount.h>

namespace testsupport {

class Mount {
public:
    // A tmpfs of the given size.
    Mount(const std::string &target, std::size_t bytes) : target_(target) {
        const std::string options = "size=" + std::to_string(bytes);
        ok_ = ::mount("tmpfs", target.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    // The folder itself, read-only.
    explicit Mount(const std::string &target) : target_(target) {
        ok_ = ::mount(target.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0;
        if (ok_ && ::mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            ::umount(target.c_str());
            ok_ = false;
        }
    }
    ~Mount() {
        if (ok_) ::umount2(target_.c_str(), MNT_DETACH);
    }
    Mount(const Mount &) = delete;
    Mount &operator=(const Mount &) = delete;
    bool ok() const { return ok_; }

private:
    std::string target_;
    bool ok_ = false;
};

}  // namespace testsupport
