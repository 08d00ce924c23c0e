// What the entry points keep between calls: the callbacks of ZpInit and a private copy of
// the options of ZpSetOptions, texts included.
#pragma once

#include "vbzip11.h"

#include <optional>
#include <string>

namespace tesk::zip {

class EngineState {
public:
    void SetCallbacks(const ZipCallbacks &callbacks);
    bool HasCallbacks() const { return hasCallbacks_; }
    const ZipCallbacks &Callbacks() const { return callbacks_; }

    // Copies the record; its texts are copied too, so the caller may release them.
    void SetOptions(const ZipOptions &options);
    // The options in force; the texts point into this object.
    ZipOptions Options() const;
    // RootDir as given, absent when the record held a null pointer.
    const std::optional<std::string> &RootDir() const { return rootDir_; }

private:
    bool hasCallbacks_ = false;
    ZipCallbacks callbacks_{};
    ZipOptions options_{};
    std::optional<std::string> unused0_, rootDir_, unused8_;
};

// The one state of the library. Calls come from one thread at a time.
EngineState &TheEngineState();

}  // namespace tesk::zip
