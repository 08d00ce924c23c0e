#include "PasswordSource.h"

#include <cstring>

namespace tesk::unzip {

void PasswordSource::BeginEntry() {
    triedLastGood_ = false;
    asks_ = 0;
    refused_ = false;
}

std::optional<std::string> PasswordSource::Next(const std::string &entryName) {
    if (refused_) return std::nullopt;
    if (!triedLastGood_) {
        triedLastGood_ = true;
        if (lastGood_) return lastGood_;
    }
    if (asks_ >= kMaxAsks) return std::nullopt;
    if (!callback_) {
        refused_ = true;
        return std::nullopt;
    }
    if (asks_ > 0 && retrying_) retrying_(entryName);
    const char *prompt = asks_ == 0 ? "Enter password" : "Incorrect password, try again";
    ++asks_;
    char buffer[UZ_PASSWORD_BUFFER] = {};
    if (callback_(buffer, UZ_PASSWORD_BUFFER, prompt, entryName.c_str()) != 0) {
        refused_ = true;
        return std::nullopt;
    }
    // The callback need not terminate its copy: read no further than the last byte but one.
    return std::string(buffer, strnlen(buffer, UZ_PASSWORD_BUFFER - 1));
}

}  // namespace tesk::unzip
