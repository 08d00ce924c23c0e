#include "ZipRunner.h"

#include "Utf8Path.h"
#include "cZip.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace {

namespace fs = std::filesystem;

void RunOnce(cZip &zip, std::vector<std::string>::const_iterator first,
             std::vector<std::string>::const_iterator last, const std::string &zipFile) {
    zip.ClearFileSpecs();
    for (auto it = first; it != last; ++it) zip.AddFileSpec(*it);
    zip.ZipFile(zipFile);
    zip.Zip();
}

// A name in the archive's own folder that nothing uses yet, so the final rename stays on
// one file system.
fs::path TemporaryArchivePath(const fs::path &target) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (;;) {
        fs::path candidate = target;
        candidate += ".part" + std::to_string(random() % 1000000) + ".tmp";
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
    }
}

// Removes the temporary archive and resets AllowAppend whenever the runs end.
class TemporaryArchive {
public:
    TemporaryArchive(cZip &zip, fs::path path) : zip_(zip), path_(std::move(path)) {}
    ~TemporaryArchive() {
        zip_.AllowAppend(false);
        std::error_code ec;
        fs::remove(path_, ec);
    }
    const fs::path &path() const { return path_; }

private:
    cZip &zip_;
    fs::path path_;
};

}  // namespace

bool ZipInRuns(cZip &zip, const std::vector<std::string> &specs, const std::string &zipFile,
               size_t maxPerRun) {
    if (maxPerRun == 0) maxPerRun = 1;
    if (specs.size() <= maxPerRun) {
        RunOnce(zip, specs.begin(), specs.end(), zipFile);
        return zip.Success();
    }

    const fs::path target = platform::PathFromUtf8(zipFile);
    TemporaryArchive temporary(zip, TemporaryArchivePath(target));
    const std::string temporaryName = platform::Utf8FromPath(temporary.path());
    bool written = false;
    for (size_t start = 0; start < specs.size(); start += maxPerRun) {
        const size_t end = std::min(specs.size(), start + maxPerRun);
        zip.AllowAppend(written);
        RunOnce(zip, specs.begin() + static_cast<std::ptrdiff_t>(start),
                specs.begin() + static_cast<std::ptrdiff_t>(end), temporaryName);
        if (zip.Success()) {
            written = true;
        } else if (zip.LastResult() != ZP_ERR_NOMATCH) {
            return false;
        }
        // A run whose folders hold no files adds nothing; one run alone would have
        // matched files of the other runs and succeeded.
    }
    if (!written) return false;
    std::error_code ec;
    fs::rename(temporary.path(), target, ec);
    return !ec;
}
