#include "EngineState.h"

namespace tesk::zip {
namespace {

std::optional<std::string> CopyText(const char *text) {
    if (!text) return std::nullopt;
    return std::string(text);
}

const char *TextOf(const std::optional<std::string> &text) {
    return text ? text->c_str() : nullptr;
}

}  // namespace

void EngineState::SetCallbacks(const ZipCallbacks &callbacks) {
    callbacks_ = callbacks;
    hasCallbacks_ = true;
}

void EngineState::SetOptions(const ZipOptions &options) {
    options_ = options;
    unused0_ = CopyText(options.Unused0);
    rootDir_ = CopyText(options.RootDir);
    unused8_ = CopyText(options.Unused8);
}

ZipOptions EngineState::Options() const {
    ZipOptions result = options_;
    result.Unused0 = TextOf(unused0_);
    result.RootDir = TextOf(rootDir_);
    result.Unused8 = TextOf(unused8_);
    return result;
}

EngineState &TheEngineState() {
    static EngineState state;
    return state;
}

}  // namespace tesk::zip
