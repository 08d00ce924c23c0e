#include "FakeEngines.h"

fake::UnzipEngine &fake::Unzip() {
    static UnzipEngine engine;
    return engine;
}

extern "C" {

TESK_EXPORT int32_t TESK_CALL Wiz_SingleEntryUnzip(int32_t includeCount, const char *const *include,
                                                   int32_t excludeCount, const char *const *exclude,
                                                   const UnzipOptions *options,
                                                   const UnzipCallbacks *callbacks) {
    const fake::UnzipCall call{includeCount, excludeCount, fake::ReadSlots(include),
                               fake::ReadSlots(exclude), *options, fake::Copy(options->ArchivePath),
                               fake::Copy(options->ExtractFolder), *callbacks};
    fake::Unzip().calls.push_back(call);
    return fake::Unzip().script ? fake::Unzip().script(call) : 0;
}

TESK_EXPORT void TESK_CALL UzpVersion2(UnzipVersion *version) {
    if (fake::Unzip().version) fake::Unzip().version(*version);
}
}
