// Helpers shared by every test executable: a temporary folder per test, files, and
// running the independent tools (python3, zip, unzip, 7zz) that make and check archives.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const fs::path &path() const { return path_; }
    // path() / relative, as a string.
    std::string operator/(const std::string &relative) const;

private:
    fs::path path_;
};

// Writes bytes to a file, creating its folders.
void WriteFile(const fs::path &file, const std::string &bytes);
std::string ReadFile(const fs::path &file);
// The parts of text between separators (an empty text gives one empty part).
std::vector<std::string> Split(const std::string &text, const std::string &separator);
// The rows of a table file: each line that is neither blank nor starts with '#', split at
// separator, every field without the spaces around it.
std::vector<std::vector<std::string>> ReadTable(const fs::path &file, const std::string &separator);
// Names in a folder, sorted.
std::vector<std::string> NamesIn(const fs::path &folder);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a shell command line and collects its output.
CommandResult Run(const std::string &commandLine);

// The python3 to run: the system's when there is one (it starts many times faster than a
// version manager's shim).
const std::string &Python();

// Runs a python3 script given as text (its argv[1..] are args, already quoted).
CommandResult RunPython(const std::string &script, const std::string &args = "");

// Single-quotes a text for the shell.
std::string ShellQuote(const std::string &text);


// Starts a program, reads its standard output until a line equals stopLine, then kills it
// with SIGKILL. Returns true when the line came and the program died of that signal.
bool RunAndKillAtLine(const std::vector<std::string> &argv, const std::string &stopLine);

}  // namespace testsupport
