#include "UnzipHarness.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

namespace unziptest {
namespace {

Harness *g_current = nullptr;
std::thread::id g_caller;

// Every callback must come on the calling thread.
Harness &Current() {
    EXPECT_EQ(std::this_thread::get_id(), g_caller);
    return *g_current;
}

int32_t TESK_CALL OnPrint(const char *text, int32_t length) {
    Current().messages.emplace_back(text, static_cast<size_t>(length));
    return 0;
}

int32_t TESK_CALL OnReplace(const char *name) {
    Harness &h = Current();
    h.replaceAsked.emplace_back(name);
    if (h.replies.empty()) return UZ_REPLACE_NO;
    const int32_t reply = h.replies.front();
    h.replies.pop_front();
    return reply;
}

int32_t TESK_CALL OnPassword(char *buffer, int32_t size, const char *prompt, const char *entry) {
    Harness &h = Current();
    EXPECT_EQ(size, UZ_PASSWORD_BUFFER);
    EXPECT_EQ(std::count(buffer, buffer + size, '\0'), size);
    h.passwordQueries.push_back({prompt, entry});
    if (h.passwords.empty()) return 1;
    const std::optional<std::string> password = h.passwords.front();
    h.passwords.pop_front();
    if (!password) return 1;
    std::memcpy(buffer, password->data(), password->size());
    // No terminator: the engine must stop at size - 1 by itself.
    if (h.fillPasswordBuffer) std::memset(buffer, 'x', static_cast<size_t>(size));
    return 0;
}

void TESK_CALL OnEntry(uint64_t compressedSize, uint64_t size, int32_t ratio, int32_t year,
                       int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                       const char *name, const char *method, uint32_t crc, int32_t flags) {
    Current().listed.push_back({compressedSize, size, ratio, year, month, day, hour, minute,
                                second, name, method, crc, flags});
}

int32_t TESK_CALL OnService(const char *name, int32_t length) {
    Harness &h = Current();
    h.serviceNames.emplace_back(name, static_cast<size_t>(length));
    if (h.onService) h.onService(h.serviceNames.back());
    return h.serviceNames.back() == h.stopAt ? 1 : 0;
}

// A name table as the binding builds it: the names, an empty text, then nulls.
std::vector<const char *> NameTable(const std::vector<std::string> &names) {
    std::vector<const char *> table(TESK_NAMELIST_SLOTS, nullptr);
    for (size_t i = 0; i < names.size(); ++i) table[i] = names[i].c_str();
    table[names.size()] = "";
    return table;
}

}  // namespace

int32_t Harness::List(const std::string &archive) {
    options.ListOnly = 1;
    return Extract(archive, "");
}

int32_t Harness::Extract(const std::string &archive, const std::string &folder) {
    options.ArchivePath = archive.c_str();
    options.ExtractFolder = folder.c_str();
    UnzipCallbacks callbacks{OnPrint, nullptr, OnReplace, OnPassword, OnEntry, OnService, {}};
    const auto includeTable = NameTable(include);
    const auto excludeTable = NameTable(exclude);
    g_current = this;
    g_caller = std::this_thread::get_id();
    const int32_t result = Wiz_SingleEntryUnzip(
        static_cast<int32_t>(include.size()), includeTable.data(),
        static_cast<int32_t>(exclude.size()), excludeTable.data(), &options, &callbacks);
    g_current = nullptr;
    return result;
}

std::string Lines(const std::vector<std::string> &lines) {
    std::string text;
    for (const auto &l : lines) text += l + "\n";
    return text;
}

bool IsProgressLine(const std::string &text) {
    static const std::regex run(R"(  \d+ of \d+ entries \(\d+%\))");
    static const std::regex entry(R"((  inflating|    testing): .* \d+%)");
    return std::regex_match(text, run) || std::regex_match(text, entry);
}

std::vector<std::string> Harness::MessagesWithoutProgress() const {
    std::vector<std::string> kept;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(kept),
                 [](const std::string &m) { return !IsProgressLine(m); });
    return kept;
}

bool Harness::HasMessage(const std::string &text) const {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

testsupport::CommandResult Craft(const std::string &body) {
    return testsupport::RunPython("import sys\nsys.path.insert(0, " +
                                  testsupport::ShellQuote(UNZIP_TEST_DIR) +
                                  ")\nfrom zipcraft import *\n" + body);
}

}  // namespace unziptest
