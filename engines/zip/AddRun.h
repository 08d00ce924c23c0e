// A run that writes files into an archive: new, append, update or freshen.
#pragma once

#include "Reporter.h"
#include "RunSettings.h"
#include "vbzip11.h"

namespace tesk::zip {

// Returns a ZP_* code. The archive is replaced (or created) only when everything
// succeeded; on failure it is left as it was and no temporary file remains.
int32_t RunAdd(const RunSettings &settings, const ZipCallbacks &callbacks, const Reporter &reporter);

}  // namespace tesk::zip
