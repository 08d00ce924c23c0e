// Placeholder entry points; the engine proper replaces them.
#include "vbzip11.h"

extern "C" {

TESK_EXPORT int32_t TESK_CALL ZpInit(const ZipCallbacks *) { return 1; }
TESK_EXPORT int32_t TESK_CALL ZpSetOptions(ZipOptions *) { return 1; }
TESK_EXPORT int32_t TESK_CALL ZpGetOptions(ZipOptions *) { return 1; }
TESK_EXPORT int32_t TESK_CALL ZpArchive(int32_t, const char *, const char *const *) {
    return ZP_ERR_PARAM;
}
}
