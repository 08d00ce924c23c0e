// Drives the engines through the bindings, as the program does, for timing runs.
//
//   tesk-bench create ARCHIVE SOURCE_DIR LEVEL [PASSWORD]   the folder and all below it
//   tesk-bench list ARCHIVE                                 prints the entry count
//   tesk-bench extract ARCHIVE DEST                         overwrites without asking
//   tesk-bench test ARCHIVE
//
// Exits with the engine's result code; engine messages go to standard error.
#include "TeskError.h"
#include "cUnzip.h"
#include "cZip.h"

#include <chrono>
#include <filesystem>
#include <iostream>

namespace {

// With TESK_BENCH_GAPS set, reports the longest time without a message from the engine
// while it runs: how long the program's window would go without repainting.
struct Messages : cZipEvents, cUnzipEvents {
    using Clock = std::chrono::steady_clock;
    std::string password;
    Clock::time_point last = Clock::now();
    double longestGap = 0;
    std::string gapEnd;  // the message that ended the longest gap
    long count = 0;

    void Progress(int32_t, const std::string &sMsg) override {
        Tick(sMsg);
        ++count;
        if (verbose)
            std::cerr << std::chrono::duration<double>(last - started).count() << " " << sMsg << "\n";
    }
    void Start() { started = last = Clock::now(); }
    Clock::time_point started = Clock::now();
    void Tick(const std::string &what) {
        const auto now = Clock::now();
        const double gap = std::chrono::duration<double>(now - last).count();
        if (gap > longestGap) {
            longestGap = gap;
            gapEnd = what;
        }
        last = now;
    }
    // The engine call returned.
    void Stop() {
        Tick("(end of the call)");
        if (!std::getenv("TESK_BENCH_GAPS")) return;
        std::cerr << "longest gap between messages: " << longestGap << " s, before: " << gapEnd
                  << " (" << count << " messages)\n";
    }
    void PasswordRequest(std::string &sPassword, int32_t, bool, bool &) override {
        sPassword = password;
    }
    void PasswordRequest(std::string &sPassword, bool &) override { sPassword = password; }
    bool verbose = std::getenv("TESK_BENCH_VERBOSE") != nullptr;
};

int Usage() {
    std::cerr << "usage: tesk-bench create ARCHIVE SOURCE_DIR LEVEL [PASSWORD]\n"
                 "       tesk-bench list|test ARCHIVE\n"
                 "       tesk-bench extract ARCHIVE DEST\n";
    return 64;
}

int Create(const std::string &archive, const std::string &source, int level,
           const std::string &password, Messages &messages) {
    const std::filesystem::path dir = std::filesystem::absolute(source).lexically_normal();
    const std::filesystem::path folder = dir.has_filename() ? dir : dir.parent_path();
    cZip zip;
    zip.SetListener(&messages);
    messages.password = password;
    zip.ZipFile(std::filesystem::absolute(archive).string());
    zip.BasePath(folder.parent_path().string());
    zip.StoreFolderNames(true);
    zip.StoreDirectories(true);
    zip.RecurseSubDirs(true);
    zip.CompressionLevel(static_cast<int16_t>(level));
    zip.Encrypt(!password.empty());
    // The program leaves the level at its default: summary and errors (and progress).
    zip.MessageLevel(2);
    zip.AddFileSpec(folder.filename().string() + "/*.*");
    messages.Start();
    zip.Zip();
    messages.Stop();
    return zip.LastResult();
}

int Unzip(const std::string &archive, const std::string &dest, bool test, Messages &messages) {
    cUnzip unzip;
    unzip.SetListener(&messages);
    unzip.ZipFile(archive);
    unzip.UnzipFolder(dest);
    unzip.UseFolderNames(true);
    unzip.OverwriteExisting(true);
    unzip.TestZip(test);
    // The program's level: a line per entry. TESK_BENCH_MESSAGELEVEL picks another.
    const char *level = std::getenv("TESK_BENCH_MESSAGELEVEL");
    unzip.MessageLevel(level ? std::atoi(level) : 0);
    messages.Start();
    unzip.Unzip();
    messages.Stop();
    return unzip.LastResult();
}

}  // namespace

int main(int argc, char **argv) {
    Messages messages;
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "create" && (argc == 5 || argc == 6))
            return Create(argv[2], argv[3], std::atoi(argv[4]), argc == 6 ? argv[5] : "",
                          messages);
        if (command == "list" && argc == 3) {
            cUnzip unzip;
            unzip.ZipFile(argv[2]);
            const int result = unzip.Directory();
            std::cout << unzip.FileCount() << "\n";
            return result;
        }
        if (command == "extract" && argc == 4) return Unzip(argv[2], argv[3], false, messages);
        if (command == "test" && argc == 3) return Unzip(argv[2], ".", true, messages);
    } catch (const TeskError &e) {
        std::cerr << e.Source() << ": " << e.Description() << "\n";
        return 70;
    }
    return Usage();
}
