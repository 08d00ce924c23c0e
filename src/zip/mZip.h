// mZip: the one point of contact with the zip engine library (vbzip11).
#pragma once

#include "vbzip11.h"

#include <cstdint>
#include <string>
#include <vector>

class cZip;

// One engine run on behalf of zip: makes its BasePath the current directory (unless
// blank), registers the callbacks, hands over the options and calls ZpArchive with the
// first count file specifications. Returns ZpArchive's result unchanged. Throws TeskError
// with source "tesk.VBZip" when the base folder does not exist (76), the engine cannot be
// loaded (48, 453), count is 1024 or more (9), or a run is already in progress (5).
int32_t VBZip(cZip &zip, ZipOptions &options, const std::vector<std::string> &specs,
              int32_t count);
