#include "TestSupport.h"
#include "TreeCheck.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tesk-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

// Through folder descriptors: tests leave read-only folders and trees deeper than PATH_MAX.
TempDir::~TempDir() { treecheck::RemoveTree(path_.string()); }

std::string TempDir::operator/(const std::string &relative) const {
    return (path_ / relative).string();
}

void WriteFile(const fs::path &file, const std::string &bytes) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string ReadFile(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Split(const std::string &text, const std::string &separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos;
         start = at + separator.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::vector<std::vector<std::string>> ReadTable(const fs::path &file,
                                                const std::string &separator) {
    const auto trimmed = [](const std::string &t) {
        const size_t first = t.find_first_not_of(" \t\r");
        if (first == std::string::npos) return std::string();
        return t.substr(first, t.find_last_not_of(" \t\r") - first + 1);
    };
    std::vector<std::vector<std::string>> rows;
    for (const std::string &line : Split(ReadFile(file), "\n")) {
        if (trimmed(line).empty() || trimmed(line)[0] == '#') continue;
        rows.emplace_back();
        for (const std::string &field : Split(line, separator))
            rows.back().push_back(trimmed(field));
    }
    return rows;
}

std::vector<std::string> NamesIn(const fs::path &folder) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult Run(const std::string &commandLine) {
    CommandResult result;
    FILE *pipe = popen((commandLine + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ShellQuote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

const std::string &Python() {
    static const std::string python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    return python;
}

CommandResult RunPython(const std::string &script, const std::string &args) {
    TempDir dir;
    const fs::path file = dir.path() / "script.py";
    WriteFile(file, script);
    return Run(Python() + " " + ShellQuote(file.string()) + " " + args);
}

bool RunAndKillAtLine(const std::vector<std::string> &argv, const std::string &stopLine) {
    int out[2];
    if (pipe(out) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char *> args;
        for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    FILE *lines = fdopen(out[0], "r");
    bool seen = false;
    char buffer[4096];
    while (!seen && lines && std::fgets(buffer, sizeof buffer, lines)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        seen = line == stopLine;
    }
    kill(pid, SIGKILL);
    if (lines) std::fclose(lines);
    int status = 0;
    waitpid(pid, &status, 0);
    return seen && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace testsupport
