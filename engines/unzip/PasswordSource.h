// Passwords for encrypted entries, asked through PasswordCallback on the calling thread.
#pragma once

#include "vbuzip10.h"

#include <functional>
#include <optional>
#include <string>

namespace tesk::unzip {

// For each encrypted entry: the password that last worked is tried first without asking;
// after that the caller is asked, at most kMaxAsks times per entry.
class PasswordSource {
public:
    static constexpr int kMaxAsks = 3;

    // retrying: called with the entry's name before the caller is asked again for it.
    PasswordSource(UzPasswordCallback callback,
                   std::function<void(const std::string &)> retrying = {})
        : callback_(callback), retrying_(std::move(retrying)) {}

    void BeginEntry();
    // The next password to try for entryName, or nothing when the caller refused (see
    // refused()) or the tries are used up.
    std::optional<std::string> Next(const std::string &entryName);
    // The password worked; later entries try it first.
    void Worked(const std::string &password) { lastGood_ = password; }
    bool refused() const { return refused_; }

private:
    UzPasswordCallback callback_;
    std::function<void(const std::string &)> retrying_;
    std::optional<std::string> lastGood_;
    bool triedLastGood_ = false;
    int asks_ = 0;
    bool refused_ = false;
};

}  // namespace tesk::unzip
