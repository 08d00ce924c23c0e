#include "FakeEngines.h"

#include <filesystem>

namespace fake {

ZipEngine &Zip() {
    static ZipEngine engine;
    return engine;
}

}  // namespace fake

namespace {
ZipOptions current{};
std::optional<std::string> currentRootDir;
}  // namespace

extern "C" {

TESK_EXPORT int32_t TESK_CALL ZpInit(const ZipCallbacks *callbacks) {
    fake::Zip().log.push_back("ZpInit");
    fake::Zip().callbacks = *callbacks;
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpSetOptions(ZipOptions *options) {
    fake::Zip().log.push_back("ZpSetOptions");
    fake::Zip().optionsReceived.push_back(*options);
    fake::Zip().rootDirsReceived.push_back(fake::Text(options->RootDir));
    current = *options;
    currentRootDir = fake::Text(options->RootDir);
    if (fake::Zip().onSetOptions) fake::Zip().onSetOptions(*options);
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpGetOptions(ZipOptions *options) {
    *options = current;
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpArchive(int32_t count, const char *zipFile,
                                        const char *const *names) {
    fake::Zip().log.push_back("ZpArchive");
    fake::ZipArchiveCall call;
    call.count = count;
    call.zipFile = fake::Text(zipFile);
    call.names = fake::ReadSlots(names);
    call.currentDirectory = std::filesystem::current_path().string();
    call.options = current;
    call.rootDir = currentRootDir;
    fake::Zip().archives.push_back(call);
    return fake::Zip().script ? fake::Zip().script(call) : 0;
}
}
