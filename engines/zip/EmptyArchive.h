// An archive without entries. libzip removes the file instead of writing one, so this is
// written here: to a temporary file beside the target, renamed over it on success.
#pragma once

#include <string>

namespace tesk::zip {

// Returns false with error set on failure; the target is then unchanged and no temporary
// file remains.
bool WriteEmptyArchive(const std::string &path, const std::string &comment, std::string &error);

}  // namespace tesk::zip
