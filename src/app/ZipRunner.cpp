#include "ZipRunner.h"

#include "Utf8Path.h"
#include "ZipJobProgress.h"
#include "cZip.h"

#include <filesystem>
#include <cerrno>
#include <csignal>
#include <unistd.h>
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

// The partial archive of a job of several runs must be named while the engine appends to
// it. Its name carries the owner's process id, so a job killed part way leaves a file that
// the next job into the same folder recognises and removes.
constexpr const char *kPartTag = ".tesk-part-";

fs::path PartialArchivePath(const fs::path &target) {
    fs::path partial = target;
    partial += kPartTag + std::to_string(::getpid());
    return partial;
}

// Removes partial archives beside target left by processes that no longer exist.
void RemoveOrphanedParts(const fs::path &target) {
    const std::string prefix = target.filename().string() + kPartTag;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix)) continue;
        const std::string pid = name.substr(prefix.size());
        // A process id is a short run of digits; anything else is not ours.
        const bool digits = pid.find_first_not_of("0123456789") == std::string::npos;
        if (pid.empty() || pid.size() > 9 || !digits) continue;
        if (::kill(static_cast<pid_t>(std::stol(pid)), 0) == 0 || errno != ESRCH) continue;
        std::error_code ignored;
        if (fs::is_regular_file(it->symlink_status(ignored))) fs::remove(it->path(), ignored);
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
    RemoveOrphanedParts(target);
    TemporaryArchive temporary(zip, PartialArchivePath(target));
    const std::string temporaryName = platform::Utf8FromPath(temporary.path());
    std::error_code ec;
    fs::remove(temporary.path(), ec);  // a stale part of an earlier process with our id
    bool written = false, complete = true;
    for (const Run &run : runs) {
        zip.AllowAppend(written);
        RunOnce(zip, run, temporaryName);
        progress.RunEnded();
        if (zip.Success()) {
            written = true;
        } else if (zip.LastResult() == ZP_ERR_READ) {
            // Written without the files it named, as a single run would be: go on, and
            // report the job as failed at the end.
            written = written || fs::exists(temporary.path(), ec);
            complete = false;
        } else if (zip.LastResult() != ZP_ERR_NOMATCH) {
            return false;
        }
        // A run whose folders hold no files adds nothing; one run alone would have
        // matched files of the other runs and succeeded.
    }
    if (!written) return false;
    fs::rename(temporary.path(), target, ec);
    if (ec) return false;
    progress.SendTotal();
    return complete;
}
