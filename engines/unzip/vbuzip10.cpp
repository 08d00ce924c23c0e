// Placeholder entry points; the engine proper replaces them.
#include "vbuzip10.h"

extern "C" {

TESK_EXPORT int32_t TESK_CALL Wiz_SingleEntryUnzip(int32_t, const char *const *, int32_t,
                                                   const char *const *, const UnzipOptions *,
                                                   const UnzipCallbacks *) {
    return UZ_ERR_PARAM;
}

TESK_EXPORT void TESK_CALL UzpVersion2(UnzipVersion *) {}
}
