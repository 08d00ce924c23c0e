// The library's C entry points. No exception leaves them.
#include "vbzip11.h"

#include "AddRun.h"
#include "DeleteRun.h"
#include "EngineState.h"
#include "Reporter.h"
#include "RunSettings.h"

#include <new>

using namespace tesk::zip;

namespace {

bool g_running = false;  // a run calling back into the engine must not start another

int32_t Archive(int32_t count, const char *zipFile, const char *const *names) {
    EngineState &state = TheEngineState();
    if (!state.HasCallbacks()) return ZP_ERR_PARAM;
    const ZipOptions options = state.Options();
    const RunSettings settings = ReadSettings(options, options.RootDir, zipFile, count, names);
    const Reporter reporter(state.Callbacks().ZipPrintCallback, settings.messages);
    if (count < 0 || settings.archive.empty()) {
        reporter.Error("zip error: no archive name given");
        return ZP_ERR_PARAM;
    }
    if (settings.specs.empty()) {
        reporter.Error("zip error: no file specifications given");
        return ZP_ERR_NOMATCH;
    }
    if (settings.mode == RunMode::Delete) return RunDelete(settings, state.Callbacks(), reporter);
    return RunAdd(settings, state.Callbacks(), reporter);
}

}  // namespace

extern "C" {

TESK_EXPORT int32_t TESK_CALL ZpInit(const ZipCallbacks *callbacks) {
    if (callbacks) TheEngineState().SetCallbacks(*callbacks);
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpSetOptions(ZipOptions *options) {
    try {
        if (options) TheEngineState().SetOptions(*options);
    } catch (...) {
    }
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpGetOptions(ZipOptions *options) {
    if (options) *options = TheEngineState().Options();
    return 1;
}

TESK_EXPORT int32_t TESK_CALL ZpArchive(int32_t count, const char *zipFile,
                                        const char *const *names) {
    if (g_running) return ZP_ERR_PARAM;
    g_running = true;
    int32_t result;
    try {
        result = Archive(count, zipFile, names);
    } catch (const std::bad_alloc &) {
        result = ZP_ERR_MEMORY;
    } catch (...) {
        result = ZP_ERR_WRITE;
    }
    g_running = false;
    return result;
}
}
