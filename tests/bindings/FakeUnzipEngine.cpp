#include "FakeEngines.h"

namespace fake {

UnzipEngine &Unzip() {
    static UnzipEngine engine;
    return engine;
}

}  // namespace fake

extern "C" {

TESK_EXPORT int32_t TESK_CALL Wiz_SingleEntryUnzip(int32_t includeCount,
                                                   const char *const *includeList,
                                                   int32_t excludeCount,
                                                   const char *const *excludeList,
                                                   const UnzipOptions *options,
                                                   const UnzipCallbacks *callbacks) {
    fake::UnzipCall call;
    call.includeCount = includeCount;
    call.excludeCount = excludeCount;
    call.include = fake::ReadSlots(includeList);
    call.exclude = fake::ReadSlots(excludeList);
    call.options = *options;
    call.archivePath = fake::Text(options->ArchivePath);
    call.extractFolder = fake::Text(options->ExtractFolder);
    call.callbacks = *callbacks;
    fake::Unzip().calls.push_back(call);
    return fake::Unzip().script ? fake::Unzip().script(call) : 0;
}

TESK_EXPORT void TESK_CALL UzpVersion2(UnzipVersion *version) {
    fake::Unzip().versionReceived = *version;
    if (fake::Unzip().version) fake::Unzip().version(*version);
}
}
