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

struct ListedEntry {
    uint64_t compressedSize, size;
    int32_t ratio, year, month, day, hour, minute, second;
    std::string name, method;
    uint32_t crc;
    int32_t flags;
};

struct PasswordQuery {
    std::string prompt, entryName;
    int32_t bufferSize;
    bool bufferWasZeroed;
};

class Harness {
public:
    Harness();

    UnzipOptions options{};
    std::vector<std::string> include, exclude;

    // Script: answers of ReplaceCallback (100 when it runs out), passwords (nothing =
    // refuse), and the entry name at which ServiceCallback answers 1.
    std::deque<int32_t> replies;
    std::deque<std::optional<std::string>> passwords;
    std::string stopAt;
    // Runs inside ServiceCallback with the entry's name, before the entry is processed.
    std::function<void(const std::string &)> onService;
    bool fillPasswordBuffer = false;  // write 255 bytes of "x" after the password

    // Records.
    std::vector<std::string> messages, replaceAsked, serviceNames;
    std::vector<PasswordQuery> passwordQueries;
    std::vector<ListedEntry> listed;
    bool foreignThread = false;  // a message came from another thread than the caller's

    int32_t List(const std::string &archive);
    int32_t Extract(const std::string &archive, const std::string &folder);
    int32_t Call();
    std::string AllMessages() const;
    // The messages less the progress lines, which come only when work takes a while.
    std::vector<std::string> MessagesWithoutProgress() const;
    bool HasMessage(const std::string &text) const;

private:
    std::string archive_, folder_;
};

// A progress line: "  N of M entries (P%)", or an entry's name with its percentage.
bool IsProgressLine(const std::string &text);

// Runs a python3 script that has zipcraft imported.
testsupport::CommandResult Craft(const std::string &body);

// Regular files, folders and links below root as "path -> content" lines (links as
// "path -> @target", contents over 64 bytes by length and CRC), sorted.
std::string DescribeTree(const std::string &root);

}  // namespace unziptest
