// Scripted stand-ins for the two engine libraries. They are built under the real libraries'
// names beside the binding tests, so the bindings load them from the program's folder as
// they would the real ones. Each entry point records what it received, then plays the
// test's script, which may call the callbacks it was given.
#pragma once

#include "vbuzip10.h"
#include "vbzip11.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fake {

// A name table as received: each slot's text, or nothing for a null pointer.
using Slots = std::vector<std::optional<std::string>>;

inline std::optional<std::string> Text(const char *text) {
    return text ? std::optional<std::string>(text) : std::nullopt;
}

inline Slots ReadSlots(const char *const *table) {
    Slots slots;
    if (!table) return slots;
    for (int i = 0; i < TESK_NAMELIST_SLOTS; ++i) slots.push_back(Text(table[i]));
    return slots;
}

struct UnzipCall {
    int32_t includeCount = 0;
    int32_t excludeCount = 0;
    Slots include;
    Slots exclude;
    UnzipOptions options{};  // its texts are only valid during the call; see below
    std::optional<std::string> archivePath;
    std::optional<std::string> extractFolder;
    UnzipCallbacks callbacks{};
};

struct UnzipEngine {
    std::vector<UnzipCall> calls;
    std::function<int32_t(const UnzipCall &)> script;  // result of the call; 0 when unset
    std::function<void(UnzipVersion &)> version;
    UnzipVersion versionReceived{};
};

struct ZipArchiveCall {
    int32_t count = 0;
    std::optional<std::string> zipFile;
    Slots names;
    std::string currentDirectory;
    ZipOptions options{};  // the options in force (texts not kept)
    std::optional<std::string> rootDir;
};

struct ZipEngine {
    std::vector<std::string> log;  // entry points in call order
    ZipCallbacks callbacks{};
    std::vector<ZipOptions> optionsReceived;
    std::vector<std::optional<std::string>> rootDirsReceived;
    std::function<void(ZipOptions &)> onSetOptions;  // may change the caller's record
    std::vector<ZipArchiveCall> archives;
    std::function<int32_t(const ZipArchiveCall &)> script;  // result; 0 when unset
};

// The number and source of the error a call raises ("" when it raises none).
template <class Error, class Call>
std::string ErrorOf(Call call) {
    try {
        call();
    } catch (const Error &e) {
        return std::to_string(e.Number()) + " " + e.Source();
    }
    return "";
}

// The fakes' state, reset by the tests.
TESK_EXPORT UnzipEngine &Unzip();
TESK_EXPORT ZipEngine &Zip();

}  // namespace fake
