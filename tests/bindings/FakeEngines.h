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

// A text as received: nothing for a null pointer.
using Text = std::optional<std::string>;
// A name table as received, slot by slot.
using Slots = std::vector<Text>;

inline Text Copy(const char *text) { return text ? Text(text) : std::nullopt; }

inline Slots ReadSlots(const char *const *table) {
    Slots read;
    for (int i = 0; table && i < TESK_NAMELIST_SLOTS; ++i) read.push_back(Copy(table[i]));
    return read;
}

struct UnzipCall {
    int32_t includeCount = 0, excludeCount = 0;
    Slots include, exclude;
    UnzipOptions options{};  // its texts are only valid during the call; see below
    Text archivePath, extractFolder;
    UnzipCallbacks callbacks{};
};

struct UnzipEngine {
    std::vector<UnzipCall> calls;
    std::function<int32_t(const UnzipCall &)> script;  // result of the call; 0 when unset
    std::function<void(UnzipVersion &)> version;       // plays UzpVersion2
};

struct ZipArchiveCall {
    int32_t count = 0;
    Text zipFile;
    Slots names;
    std::string currentDirectory;
    ZipOptions options{};  // the options in force (texts not kept)
    Text rootDir;
};

struct ZipEngine {
    std::vector<std::string> log;  // entry points in call order
    ZipCallbacks callbacks{};
    ZipArchiveCall next;                             // the options in force
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
