// mUnzip: the one point of contact with the unzip engine library (vbuzip10).
#pragma once

#include "EngineText.h"
#include "vbuzip10.h"

#include <cstdint>
#include <string>
#include <vector>

class cUnzip;

// One engine call on behalf of zip, with its options record (whose two texts must stay
// valid during the call) and the first includeCount / excludeCount names of the two
// lists. Returns the engine's result code unchanged. Throws TeskError with source
// "tesk.VBUnzip" when the engine cannot be loaded (48, 453), a list holds 1024 names or
// more (9), or an engine call is already running (5).
int32_t VBUnzip(cUnzip &zip, UnzipOptions &options, int32_t includeCount,
                const std::vector<std::string> &includeNames, int32_t excludeCount,
                const std::vector<std::string> &excludeNames);

// Fills an engine version record through UzpVersion2.
void VBUnzipVersion(UnzipVersion &version);

// Splits an entry path into its folder (native separators) and its name.
void SplitEntryPath(const std::string &path, std::string &folder, std::string &name);
