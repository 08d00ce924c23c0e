#include "mUnzip.h"

#include "EngineLibrary.h"
#include "EngineText.h"
#include "PathSeparator.h"
#include "TeskError.h"
#include "cUnzip.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char *kSource = "tesk.VBUnzip";

// Bounds on engine text read through a bare pointer.
constexpr size_t kEntryNameBound = 65535;  // the longest name a zip entry can have
constexpr size_t kMethodBound = 256;
constexpr size_t kReplaceNameBound = 32801;
// Texts given with a length are used only when 1 < length < this.
constexpr int32_t kLengthLimit = 32000;
// The engine's password buffer holds at most this many bytes of a password.
constexpr size_t kPasswordBytes = 254;

// The object whose engine call is running; callbacks act on it. Null between calls.
cUnzip *CurrentUnzip = nullptr;
// Set when the user gave no password; later queries of the same call are refused.
bool PasswordRefused = false;

platform::EngineLibrary &Library() {
    static platform::EngineLibrary library("vbuzip10");
    return library;
}

// Days from 1 January 1970 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// An automation date (days since 30 December 1899). Parts out of range carry over into
// the next larger unit; a two-digit year means 1930 to 2029.
double AutomationDate(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute) {
    if (year >= 0 && year < 100) year += year < 30 ? 2000 : 1900;
    const int64_t monthIndex = static_cast<int64_t>(year) * 12 + (month - 1);
    const int64_t y = monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    const int64_t m = monthIndex - y * 12 + 1;
    const int64_t days = DaysFromCivil(y, m, 1) + (day - 1) - DaysFromCivil(1899, 12, 30);
    return static_cast<double>(days) + (hour * 60.0 + minute) / 1440.0;
}

// Engine text at a bare pointer: up to its first NUL and never more than bound bytes. A
// text cut at the bound loses the trailing part of a UTF-8 sequence rather than keeping
// half of it.
std::string ReadBounded(const char *text, size_t bound) {
    if (!text) return {};
    const size_t n = strnlen(text, bound);
    std::string result(text, n);
    if (n == bound) {
        size_t start = n;
        while (start > 0 && (static_cast<unsigned char>(result[start - 1]) & 0xC0) == 0x80) --start;
        if (start > 0) {
            const auto lead = static_cast<unsigned char>(result[start - 1]);
            const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (need > 1 && n - (start - 1) < need) result.resize(start - 1);
        }
    }
    return result;
}

int32_t TESK_CALL PrintCallback(const char *text, int32_t length) {
    try {
        if (CurrentUnzip && text && length > 1 && length < kLengthLimit) {
            std::string message(text, static_cast<size_t>(length));
            ToBackslashes(message, platform::kPathSeparator);
            CurrentUnzip->RaiseProgress(message);
        }
    } catch (...) {
    }
    return 0;
}

int32_t TESK_CALL ReplaceCallback(const char *existingName) {
    int32_t answer = UZ_REPLACE_NO;
    try {
        std::string name = ReadBounded(existingName, kReplaceNameBound);
        ToBackslashes(name, platform::kPathSeparator);
        if (CurrentUnzip) CurrentUnzip->RaiseOverwritePrompt(name, answer);
    } catch (...) {
    }
    return answer;
}

int32_t TESK_CALL PasswordCallback(char *buffer, int32_t bufferSize, const char *, const char *) {
    try {
        if (PasswordRefused || !CurrentUnzip) return 1;
        std::string password;
        bool cancel = false;
        CurrentUnzip->RaisePasswordRequest(password, cancel);
        password = TrimSpaces(password);
        if (password.empty() || cancel) {
            PasswordRefused = true;
            return 1;
        }
        if (!buffer) return 1;
        size_t n = std::min(password.size(), kPasswordBytes);
        // Never past the engine's buffer, whatever the engine's size says.
        if (bufferSize > 0) n = std::min(n, static_cast<size_t>(bufferSize) - 1);
        std::memcpy(buffer, password.data(), n);
        return 0;
    } catch (...) {
        return 1;
    }
}

void TESK_CALL EntryCallback(uint64_t compressedSize, uint64_t size, int32_t ratio, int32_t year,
                             int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t,
                             const char *name, const char *method, uint32_t crc, int32_t flags) {
    try {
        std::string folder, file;
        SplitEntryPath(ReadBounded(name, kEntryNameBound), folder, file);
        const double date = AutomationDate(static_cast<int16_t>(year), static_cast<int16_t>(month),
                                           static_cast<int16_t>(day), static_cast<int16_t>(hour),
                                           static_cast<int16_t>(minute));
        const bool encrypted = (static_cast<uint8_t>(flags) & UZ_ENTRY_ENCRYPTED) != 0;
        if (CurrentUnzip)
            CurrentUnzip->AddEntry(file, folder, date, static_cast<int64_t>(size),
                                   static_cast<int64_t>(compressedSize), static_cast<int32_t>(crc), encrypted,
                                   static_cast<int16_t>(ratio),
                                   ReadBounded(method, kMethodBound));
    } catch (...) {
    }
}

int32_t TESK_CALL ServiceCallback(const char *text, int32_t length) {
    try {
        if (!CurrentUnzip || !text || length <= 1 || length >= kLengthLimit) return 0;
        std::string message(text, static_cast<size_t>(length));
        message = message.substr(0, message.find('\0'));
        ToBackslashes(message, platform::kPathSeparator);
        bool cancel = false;
        CurrentUnzip->RaiseCancel(message, cancel);
        return cancel ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // namespace

void SplitEntryPath(const std::string &path, std::string &folder, std::string &name) {
    std::string text = path.substr(0, path.find('\0'));
    const int32_t p = ToBackslashes(text, platform::kPathSeparator);
    if (p >= 2) {
        folder = text.substr(0, static_cast<size_t>(p - 2));
        name = text.substr(static_cast<size_t>(p - 1));
    } else {
        folder.clear();
        name = text;
    }
}

int32_t VBUnzip(cUnzip &zip, UnzipOptions &options, int32_t includeCount,
                const std::vector<std::string> &includeNames, int32_t excludeCount,
                const std::vector<std::string> &excludeNames) {
    if (CurrentUnzip)
        throw TeskError(TeskError::kInvalidCall, kSource, "An engine call is already running");
    struct Guard {
        explicit Guard(cUnzip &zip) { CurrentUnzip = &zip; }
        ~Guard() { CurrentUnzip = nullptr; }
    } guard(zip);

    UnzipCallbacks callbacks{};
    callbacks.PrintCallback = PrintCallback;
    callbacks.ReplaceCallback = ReplaceCallback;
    callbacks.PasswordCallback = PasswordCallback;
    callbacks.EntryCallback = EntryCallback;
    callbacks.ServiceCallback = ServiceCallback;

    const auto include = platform::BuildNameList(includeCount, includeNames, kSource);
    const auto exclude = platform::BuildNameList(excludeCount, excludeNames, kSource);
    PasswordRefused = false;
    try {
        auto entry = reinterpret_cast<Wiz_SingleEntryUnzipFn>(
            Library().Symbol("Wiz_SingleEntryUnzip"));
        return entry(includeCount, include.data(), excludeCount, exclude.data(), &options,
                     &callbacks);
    } catch (const TeskError &e) {
        throw e.WithSource(kSource);
    }
}

void VBUnzipVersion(UnzipVersion &version) {
    try {
        auto fill = reinterpret_cast<UzpVersion2Fn>(Library().Symbol("UzpVersion2"));
        fill(&version);
    } catch (const TeskError &e) {
        throw e.WithSource(kSource);
    }
}
