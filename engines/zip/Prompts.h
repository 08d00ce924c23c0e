// The run's questions to the caller: the password and the archive comment.
#pragma once

#include "vbzip11.h"

#include <optional>
#include <string>

namespace tesk::zip {

// The password, or nothing when the callback refused, gave an empty text or is missing.
// Reads up to the first NUL and never more than ZP_PASSWORD_BUFFER - 1 bytes.
std::optional<std::string> AskPassword(ZpPasswordCallback callback, const std::string &archive);

// The comment (may be empty), or nothing when the callback refused or is missing.
std::optional<std::string> AskComment(ZpCommentCallback callback);

}  // namespace tesk::zip
