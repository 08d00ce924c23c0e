#include "Prompts.h"

#include <cstring>
#include <vector>

namespace tesk::zip {

std::optional<std::string> AskPassword(ZpPasswordCallback callback, const std::string &archive) {
    if (!callback) return std::nullopt;
    // One byte beyond what the caller is told, so a full buffer still ends in a NUL here.
    std::vector<char> buffer(ZP_PASSWORD_BUFFER + 1, '\0');
    if (callback(buffer.data(), ZP_PASSWORD_BUFFER, "Enter password: ", archive.c_str()) != 0)
        return std::nullopt;
    std::string password(buffer.data(), strnlen(buffer.data(), ZP_PASSWORD_BUFFER - 1));
    if (password.empty()) return std::nullopt;
    return password;
}

std::optional<std::string> AskComment(ZpCommentCallback callback) {
    if (!callback) return std::nullopt;
    std::vector<char> buffer(ZP_COMMENT_BUFFER + 1, '\0');
    if (callback(buffer.data()) != 0) return std::nullopt;
    return std::string(buffer.data(), strnlen(buffer.data(), ZP_COMMENT_BUFFER));
}

}  // namespace tesk::zip
