// Loading of the engine libraries, which live in the program's own folder.
#pragma once

#include <string>

namespace platform {

// The folder that holds the running executable, without a trailing separator.
std::string ProgramFolder();

// "libvbuzip10.so" for "vbuzip10" here, "vbuzip10.dll" on Windows.
std::string LibraryFileName(const std::string &baseName);

// One engine library, loaded from ProgramFolder() at the first Symbol() and kept loaded
// for the rest of the process.
class EngineLibrary {
public:
    explicit EngineLibrary(std::string baseName) : baseName_(std::move(baseName)) {}
    EngineLibrary(const EngineLibrary &) = delete;
    EngineLibrary &operator=(const EngineLibrary &) = delete;

    // The address of an entry point. Throws TeskError 48 when the library cannot be
    // loaded and 453 when it lacks the entry point; the error's source is empty.
    void *Symbol(const char *name);

private:
    std::string baseName_;
    void *handle_ = nullptr;
};

}  // namespace platform
