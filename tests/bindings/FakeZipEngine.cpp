#include "FakeEngines.h"

#include <filesystem>

fake::ZipEngine &fake::Zip() {
    static ZipEngine engine;
    return engine;
}

using fake::Zip;

extern "C" {

TESK_EXPORT int32_t TESK_CALL ZpInit(const ZipCallbacks *callbacks) {
    Zip().log.push_back("ZpInit");
    Zip().callbacks = *callbacks;
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpSetOptions(ZipOptions *options) {
    Zip().log.push_back("ZpSetOptions");
    Zip().next.options = *options;
    Zip().next.rootDir = fake::Copy(options->RootDir);
    if (Zip().onSetOptions) Zip().onSetOptions(*options);
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpArchive(int32_t count, const char *zipFile,
                                        const char *const *names) {
    Zip().log.push_back("ZpArchive");
    const fake::ZipArchiveCall call{count, fake::Copy(zipFile), fake::ReadSlots(names),
                                    std::filesystem::current_path().string(), Zip().next.options,
                                    Zip().next.rootDir};
    Zip().archives.push_back(call);
    return Zip().script ? Zip().script(call) : 0;
}
}
