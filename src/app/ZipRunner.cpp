#include "ZipRunner.h"

#include "Utf8Path.h"
#include "ZipJobProgress.h"
#include "cZip.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace {

namespace fs = std::filesystem;

struct Run {
    const ZipGroup *group;
    size_t first, last;  // the group's file specs [first, last)
};

std::vector<Run> PlanRuns(const std::vector<ZipGroup> &groups, size_t maxPerRun) {
    std::vector<Run> runs;
    for (const ZipGroup &group : groups)
        for (size_t start = 0; start < group.specs.size(); start += maxPerRun)
            runs.push_back({&group, start, std::min(group.specs.size(), start + maxPerRun)});
    return runs;
}

void RunOnce(cZip &zip, const Run &run, const std::string &zipFile) {
    zip.BasePath(run.group->basePath);
    zip.StoreFolderNames(run.group->storeFolderNames);
    zip.ClearFileSpecs();
    for (size_t i = run.first; i < run.last; ++i) zip.AddFileSpec(run.group->specs[i]);
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

// What a run is expected to add, counted before the runs so that progress spans them all:
// a "*.*" file spec stands for the files directly in its folder, any other for one file.
ZipJobProgress::Amount Expected(const Run &run) {
    ZipJobProgress::Amount amount;
    for (size_t i = run.first; i < run.last; ++i) {
        const std::string &spec = run.group->specs[i];
        if (!spec.ends_with("*.*")) {
            ++amount.entries;
            continue;
        }
        const fs::path folder = platform::PathFromUtf8(run.group->basePath) /
                                platform::PathFromUtf8(spec.substr(0, spec.size() - 3));
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->is_directory(ec)) continue;
            ++amount.entries;
            const auto size = it->file_size(ec);
            if (!ec) amount.bytes += size;
        }
    }
    return amount;
}

}  // namespace

bool ZipInRuns(cZip &zip, const std::vector<ZipGroup> &groups, const std::string &zipFile,
               size_t maxPerRun) {
    if (maxPerRun == 0) maxPerRun = 1;
    const std::vector<Run> runs = PlanRuns(groups, maxPerRun);
    if (runs.empty()) return false;
    if (runs.size() == 1) {
        RunOnce(zip, runs.front(), zipFile);
        return zip.Success();
    }

    std::vector<ZipJobProgress::Amount> expected;
    for (const Run &run : runs) expected.push_back(Expected(run));
    ZipJobProgress progress(zip, expected);
    const fs::path target = platform::PathFromUtf8(zipFile);
    TemporaryArchive temporary(zip, TemporaryArchivePath(target));
    const std::string temporaryName = platform::Utf8FromPath(temporary.path());
    bool written = false;
    for (const Run &run : runs) {
        zip.AllowAppend(written);
        RunOnce(zip, run, temporaryName);
        progress.RunEnded();
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
    if (ec) return false;
    progress.SendTotal();
    return true;
}
