// The process's current directory.
#pragma once

#include <string>

namespace platform {

// Makes path the current directory. Throws TeskError 76 ("Path not found") when it names
// no directory that can be entered; the error's source is empty.
void ChangeCurrentDirectory(const std::string &path);

std::string CurrentDirectory();

}  // namespace platform
