// A run that removes entries from an archive.
#pragma once

#include "Reporter.h"
#include "RunSettings.h"
#include "vbzip11.h"

namespace tesk::zip {

// Removes the entries whose names match a file specification ("\" read as "/", wildcards,
// case-sensitive; "dir" also matches the folder entry "dir/"). Returns a ZP_* code; no
// match is ZP_ERR_NOMATCH. Removing every entry leaves a valid empty archive.
int32_t RunDelete(const RunSettings &settings, const ZipCallbacks &callbacks,
                  const Reporter &reporter);

// True when the entry name matches one of the file specifications.
bool EntryMatches(const std::vector<std::string> &specs, const std::string &name);

}  // namespace tesk::zip
