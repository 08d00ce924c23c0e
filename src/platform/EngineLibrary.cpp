#include "EngineLibrary.h"

#include "TeskError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace platform {

std::string ProgramFolder() {
#ifdef _WIN32
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    return full.substr(0, full.find_last_of("\\/"));
#else
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string full(path, static_cast<size_t>(n));
    auto slash = full.find_last_of('/');
    return slash == 0 ? "/" : full.substr(0, slash);
#endif
}

std::string LibraryFileName(const std::string &baseName) {
#ifdef _WIN32
    return baseName + ".dll";
#else
    return "lib" + baseName + ".so";
#endif
}

void *EngineLibrary::Symbol(const char *name) {
    const std::string file = ProgramFolder() + "/" + LibraryFileName(baseName_);
    if (!handle_) {
#ifdef _WIN32
        handle_ = LoadLibraryA(file.c_str());
        if (!handle_)
            throw TeskError(TeskError::kLibraryNotLoaded, "",
                            "Error in loading DLL: " + file);
#else
        handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) {
            const char *why = dlerror();
            throw TeskError(TeskError::kLibraryNotLoaded, "",
                            "Error in loading DLL: " + (why ? std::string(why) : file));
        }
#endif
    }
#ifdef _WIN32
    void *address = reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    void *address = dlsym(handle_, name);
#endif
    if (!address)
        throw TeskError(TeskError::kEntryPointNotFound, "",
                        std::string("Can't find DLL entry point ") + name + " in " + file);
    return address;
}

}  // namespace platform
