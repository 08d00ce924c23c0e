#include "mZip.h"

#include "CurrentDirectory.h"
#include "EngineLibrary.h"
#include "EngineText.h"
#include "PathSeparator.h"
#include "TeskError.h"
#include "cZip.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char *kSource = "tesk.VBZip";
// Texts given with a length are used only when 1 < length < this.
constexpr int32_t kLengthLimit = 1024;
constexpr size_t kCommentBytes = 255;
// The password callback never writes at or beyond this position of the engine's buffer.
constexpr int32_t kPasswordBufferLimit = 256;

// The object whose run is in progress; callbacks act on it. Null between runs.
cZip *CurrentZip = nullptr;
// Set when the run is to stop; later password and comment queries are refused.
bool ZipCancelled = false;
// Set once a password was handed to the engine in this run.
bool PasswordConfirm = false;

platform::EngineLibrary &Library() {
    static platform::EngineLibrary library("vbzip11");
    return library;
}

// Engine text given with a length: false when the length is not usable.
bool TakeText(const char *text, int32_t length, std::string &out) {
    if (!text || length <= 1 || length >= kLengthLimit) return false;
    out.assign(text, static_cast<size_t>(length));
    out.resize(std::min(out.size(), out.find('\0')));
    return true;
}

int32_t TESK_CALL ZipPrintCallback(const char *text, int32_t length) {
    try {
        std::string message;
        if (CurrentZip && TakeText(text, length, message)) {
            ToBackslashes(message, platform::kPathSeparator);
            CurrentZip->RaiseProgress(message);
        }
    } catch (...) {
    }
    return 0;
}

int32_t TESK_CALL ZipServiceCallback(const char *text, int32_t length) {
    try {
        std::string message;
        if (!CurrentZip || !TakeText(text, length, message)) return 0;
        bool cancel = false;
        CurrentZip->RaiseCancel(message, cancel);
        if (!cancel) return 0;
        ZipCancelled = true;
        return 1;
    } catch (...) {
        return 0;
    }
}

int16_t TESK_CALL ZipCommentCallback(char *buffer) {
    try {
        if (ZipCancelled || !CurrentZip) return 1;
        std::string comment;
        bool cancel = false;
        CurrentZip->RaiseCommentRequest(comment, cancel);
        comment = TrimSpaces(comment);
        if (comment.empty() || cancel) {
            ZipCancelled = true;
            return 1;
        }
        if (!buffer) return 1;
        const size_t n = std::min(comment.size(), kCommentBytes);
        std::memcpy(buffer, comment.data(), n);
        buffer[n] = '\0';
        return 0;
    } catch (...) {
        return 1;
    }
}

int16_t TESK_CALL ZipPasswordCallback(char *buffer, int32_t bufferSize, const char *,
                                      const char *) {
    try {
        if (ZipCancelled || !CurrentZip) return 1;
        std::string password;
        bool cancel = false;
        CurrentZip->RaisePasswordRequest(password, bufferSize, PasswordConfirm, cancel);
        password = TrimSpaces(password);
        if (password.empty() || cancel) {
            ZipCancelled = true;
            return 1;
        }
        // Zero-fill up to the buffer's size; the last byte written is always a terminator,
        // so a password as long as the buffer is cut rather than left unterminated.
        const int32_t limit = buffer ? std::clamp(bufferSize, 0, kPasswordBufferLimit) : 0;
        for (int32_t i = 0; i < limit; ++i) {
            const auto at = static_cast<size_t>(i);
            buffer[i] = (i < limit - 1 && at < password.size()) ? password[at] : '\0';
        }
        PasswordConfirm = true;
        return 0;
    } catch (...) {
        return 1;
    }
}

}  // namespace

int32_t VBZip(cZip &zip, ZipOptions &options, const std::vector<std::string> &specs,
              int32_t count) {
    if (CurrentZip)
        throw TeskError(TeskError::kInvalidCall, kSource, "An engine run is already in progress");
    ZipCancelled = false;
    PasswordConfirm = false;
    struct Guard {
        explicit Guard(cZip &zip) { CurrentZip = &zip; }
        ~Guard() { CurrentZip = nullptr; }
    } guard(zip);

    try {
        const std::string base = zip.BasePath();
        if (!TrimSpaces(base).empty()) platform::ChangeCurrentDirectory(base);

        ZipCallbacks callbacks{};
        callbacks.ZipPrintCallback = ZipPrintCallback;
        callbacks.ZipCommentCallback = ZipCommentCallback;
        callbacks.ZipPasswordCallback = ZipPasswordCallback;
        callbacks.ZipServiceCallback = ZipServiceCallback;
        reinterpret_cast<ZpInitFn>(Library().Symbol("ZpInit"))(&callbacks);

        // The engine gets its own copy of the record and may change it; what it leaves
        // there becomes the object's options.
        ZipOptions record = options;
        reinterpret_cast<ZpSetOptionsFn>(Library().Symbol("ZpSetOptions"))(&record);
        const char *engineRootDir = record.RootDir;
        record.Unused0 = nullptr;
        record.Unused8 = nullptr;
        record.RootDir = options.RootDir;
        options = record;
        zip.TakeEngineBasePath(engineRootDir);

        const auto names = platform::BuildNameList(count, specs, kSource);
        const std::string zipFile = zip.ZipFile();
        auto archive = reinterpret_cast<ZpArchiveFn>(Library().Symbol("ZpArchive"));
        return archive(count, zip.HasZipFile() ? zipFile.c_str() : nullptr, names.data());
    } catch (const TeskError &e) {
        throw e.WithSource(kSource);
    }
}
