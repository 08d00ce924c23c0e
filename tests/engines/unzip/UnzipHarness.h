// Drives the engine's C entry point with callbacks that record what they receive and
// answer from a script.
#pragma once

#include "TestSupport.h"
#include "vbuzip10.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace unziptest {

using testsupport::NamesIn;

// The lines, each ended by "\n".
std::string Lines(const std::vector<std::string> &lines);

struct ListedEntry {
    uint64_t compressedSize, size;
    int32_t ratio, year, month, day, hour, minute, second;
    std::string name, method;
    uint32_t crc;
    int32_t flags;
};

struct PasswordQuery {
    std::string prompt, entryName;
};

class Harness {
public:
    Harness() { options.UseFolderNames = 1; }

    UnzipOptions options{};
    std::vector<std::string> include, exclude;

    // Script: answers of ReplaceCallback (UZ_REPLACE_NO when it runs out), passwords
    // (nothing: refuse), and the entry name at which ServiceCallback asks to stop.
    std::deque<int32_t> replies;
    std::deque<std::optional<std::string>> passwords;
    std::string stopAt;
    // Runs inside ServiceCallback with the entry's name, before the entry is processed.
    std::function<void(const std::string &)> onService;
    bool fillPasswordBuffer = false;  // overwrite the whole buffer after the password

    // Records. Every callback also checks that it runs on the caller's thread, and every
    // password query that its buffer comes zeroed and of UZ_PASSWORD_BUFFER bytes.
    std::vector<std::string> messages, replaceAsked, serviceNames;
    std::vector<PasswordQuery> passwordQueries;
    std::vector<ListedEntry> listed;

    int32_t List(const std::string &archive);
    // Extracts, or tests with options.TestZip; lists with options.ListOnly.
    int32_t Extract(const std::string &archive, const std::string &folder);
    std::string AllMessages() const { return Lines(messages); }
    // The messages less the progress lines, whose number depends on sizes and speed.
    std::vector<std::string> MessagesWithoutProgress() const;
    bool HasMessage(const std::string &text) const;
};

// A progress line: "  N of M entries (P%)", or an entry's name with its percentage.
bool IsProgressLine(const std::string &text);

// Runs a python3 script with zipcraft's names imported.
testsupport::CommandResult Craft(const std::string &body);

}  // namespace unziptest
