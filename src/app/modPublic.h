// Program-wide values.
#pragma once

#include <string>

// The encryption password for new archives (UTF-8); empty means no encryption. Written by
// the settings window, read when compressing. UI thread only.
extern std::string sZipPassword;
