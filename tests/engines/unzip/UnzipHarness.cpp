#include "UnzipHarness.h"
#include "TreeCheck.h"

#include <algorithm>
#include <cstring>
#include <regex>
#include <thread>

namespace unziptest {
namespace {

Harness *g_current = nullptr;
std::thread::id g_caller;

int32_t TESK_CALL OnPrint(const char *text, int32_t length) {
    if (std::this_thread::get_id() != g_caller) g_current->foreignThread = true;
    g_current->messages.emplace_back(text, static_cast<size_t>(length));
    return 0;
}

int32_t TESK_CALL OnReplace(const char *name) {
    g_current->replaceAsked.emplace_back(name);
    if (g_current->replies.empty()) return UZ_REPLACE_NO;
    const int32_t reply = g_current->replies.front();
    g_current->replies.pop_front();
    return reply;
}

int32_t TESK_CALL OnPassword(char *buffer, int32_t size, const char *prompt, const char *entry) {
    bool zeroed = true;
    for (int32_t i = 0; i < size; ++i) zeroed = zeroed && buffer[i] == 0;
    g_current->passwordQueries.push_back({prompt, entry, size, zeroed});
    if (g_current->passwords.empty() || !g_current->passwords.front()) {
        if (!g_current->passwords.empty()) g_current->passwords.pop_front();
        return 1;
    }
    const std::string password = *g_current->passwords.front();
    g_current->passwords.pop_front();
    std::memcpy(buffer, password.data(), password.size());
    // No terminator: the engine must stop at size - 1 by itself.
    if (g_current->fillPasswordBuffer) std::memset(buffer, 'x', static_cast<size_t>(size));
    return 0;
}

void TESK_CALL OnEntry(uint64_t compressedSize, uint64_t size, int32_t ratio, int32_t year,
                       int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                       const char *name, const char *method, uint32_t crc, int32_t flags) {
    g_current->listed.push_back({compressedSize, size, ratio, year, month, day, hour, minute,
                                 second, name, method, crc, flags});
}

int32_t TESK_CALL OnService(const char *name, int32_t length) {
    g_current->serviceNames.emplace_back(name, static_cast<size_t>(length));
    if (g_current->onService) g_current->onService(g_current->serviceNames.back());
    return g_current->serviceNames.back() == g_current->stopAt ? 1 : 0;
}

// A name table as the binding builds it: the names, an empty text, then nulls.
std::vector<const char *> NameTable(const std::vector<std::string> &names) {
    std::vector<const char *> table(TESK_NAMELIST_SLOTS, nullptr);
    for (size_t i = 0; i < names.size(); ++i) table[i] = names[i].c_str();
    table[names.size()] = "";
    return table;
}

}  // namespace

Harness::Harness() { options.UseFolderNames = 1; }

int32_t Harness::List(const std::string &archive) {
    archive_ = archive;
    folder_.clear();
    options.ListOnly = 1;
    return Call();
}

int32_t Harness::Extract(const std::string &archive, const std::string &folder) {
    archive_ = archive;
    folder_ = folder;
    options.ListOnly = 0;
    return Call();
}

int32_t Harness::Call() {
    options.ArchivePath = archive_.c_str();
    options.ExtractFolder = folder_.c_str();
    UnzipCallbacks callbacks{};
    callbacks.PrintCallback = OnPrint;
    callbacks.ReplaceCallback = OnReplace;
    callbacks.PasswordCallback = OnPassword;
    callbacks.EntryCallback = OnEntry;
    callbacks.ServiceCallback = OnService;
    const auto includeTable = NameTable(include);
    const auto excludeTable = NameTable(exclude);
    g_current = this;
    g_caller = std::this_thread::get_id();
    const int32_t result =
        Wiz_SingleEntryUnzip(static_cast<int32_t>(include.size()), includeTable.data(),
                             static_cast<int32_t>(exclude.size()), excludeTable.data(), &options,
                             &callbacks);
    g_current = nullptr;
    return result;
}

std::string Harness::AllMessages() const {
    std::string all;
    for (const auto &m : messages) all += m + "\n";
    return all;
}

bool IsProgressLine(const std::string &text) {
    static const std::regex run(R"(  \d+ of \d+ entries \(\d+%\))");
    static const std::regex entry(R"((  inflating|    testing): .* \d+%)");
    return std::regex_match(text, run) || std::regex_match(text, entry);
}

std::vector<std::string> Harness::MessagesWithoutProgress() const {
    std::vector<std::string> kept;
    for (const auto &m : messages)
        if (!IsProgressLine(m)) kept.push_back(m);
    return kept;
}

bool Harness::HasMessage(const std::string &text) const {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

testsupport::CommandResult Craft(const std::string &body) {
    return testsupport::RunPython("import sys\nsys.path.insert(0, " +
                                  testsupport::ShellQuote(UNZIP_TEST_DIR) +
                                  ")\nimport zipcraft\n" + body);
}

std::string DescribeTree(const std::string &root) { return treecheck::DescribeTree(root, true); }

}  // namespace unziptest
