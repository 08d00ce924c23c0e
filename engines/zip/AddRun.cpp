#include "AddRun.h"

#include "ArchiveHandle.h"
#include "BufferedEntry.h"
#include "CompressionScheduler.h"
#include "EntryMetadata.h"
#include "EntrySource.h"
#include "FileSpecExpander.h"
#include "Prompts.h"
#include "RunContext.h"
#include "StreamedEntry.h"
#include "TextEncoding.h"
#include "ZipTime.h"
#include "worker_pool.h"

#include <ctime>
#include <sys/stat.h>

namespace tesk::zip {
namespace {

// Files above this size are compressed in blocks instead of whole in memory.
constexpr uint64_t kStreamThreshold = 32u << 20;
// Memory for entries whose data is being prepared ahead of zip_close.
constexpr uint64_t kMemoryBudget = 96u << 20;

struct Action {
    const FoundItem *item;
    zip_int64_t existing;  // index of the entry it replaces, or -1
};

bool IsNewer(zip_t *archive, zip_uint64_t index, const struct stat &info) {
    zip_stat_t st;
    if (zip_stat_index(archive, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_MTIME)) return true;
    return DosDateTimeFromUnix(info.st_mtime) > DosDateTimeFromUnix(st.mtime);
}

// Which items go into the archive, and which entries they replace.
std::vector<Action> PlanActions(RunMode mode, zip_t *archive, const std::vector<FoundItem> &items) {
    std::vector<Action> actions;
    for (const auto &item : items) {
        const zip_int64_t existing =
            mode == RunMode::New ? -1 : zip_name_locate(archive, item.entryName.c_str(), 0);
        const bool newer = existing >= 0 && IsNewer(archive, existing, item.info);
        bool take = true;
        if (mode == RunMode::Update) take = existing < 0 || newer;
        if (mode == RunMode::Freshen) take = existing >= 0 && newer;
        if (take) actions.push_back({&item, existing});
    }
    return actions;
}

std::unique_ptr<EntryData> MakeEntryData(const FoundItem &item, const RunSettings &settings,
                                         unsigned threads) {
    if (item.isDir) return std::make_unique<BufferedEntry>();
    if (item.isLink) return BufferedEntry::Holding(item.linkTarget);
    EntryPlan plan{item.path, static_cast<uint64_t>(item.info.st_size), settings.level,
                   settings.lineEnds};
    if (plan.size > kStreamThreshold)
        return std::make_unique<StreamedEntry>(std::move(plan), 2 * threads + 1);
    return std::make_unique<BufferedEntry>(std::move(plan));
}

// The summary names the first loss: a caller showing only the last line still sees it.
std::string LocalTimeText(std::time_t time) {
    std::tm tm{};
    char text[32] = "";
    if (localtime_r(&time, &tm)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// What other tools may show differently from the file itself: a name that is not UTF-8, a
// time no field of the entry holds.
void WarnAboutForm(const Reporter &reporter, const FoundItem &item) {
    if (!IsValidUtf8(item.entryName))
        reporter.Warning("zip warning: " + item.entryName +
                         ": the name is not UTF-8 and is stored as its bytes; tools that read "
                         "names in another encoding show it differently");
    const std::time_t mtime = item.info.st_mtime;
    if (DosRangeTime(mtime) == mtime) return;
    const std::string prefix = "zip warning: " + item.entryName + ": modification time " + LocalTimeText(mtime);
    if (FitsExtendedTimestamp(mtime))
        reporter.Warning(prefix + " is before 1980: the entry keeps it in its extended timestamp, "
                                  "which some tools ignore (1980) or read as after 2100");
    else
        reporter.Warning(prefix + " is outside what a zip entry holds; stored as " +
                         LocalTimeText(DosRangeTime(mtime)));
}

void ReportTotals(const Reporter &reporter, const RunTotals &totals, const Losses &losses) {
    std::string line = "total: " + std::to_string(totals.added) + " added, " +
                       std::to_string(totals.updated) + " updated, " + std::to_string(totals.bytesIn) +
                       " bytes in, " + std::to_string(totals.bytesOut) + " bytes out";
    if (losses.Count() > 0) {
        static constexpr std::string_view kPrefix = "zip warning: ";
        std::string first = losses.First();
        if (first.rfind(kPrefix, 0) == 0) first.erase(0, kPrefix.size());
        line += ", " + std::to_string(losses.Count()) + " not archived as found (" + first + ")";
    }
    reporter.Summary(line);
}

}  // namespace

int32_t RunAdd(const RunSettings &settings, const ZipCallbacks &callbacks, const Reporter &reporter) {
    ExpandOptions expand;
    expand.base = settings.base;
    expand.recurse = settings.recurse;
    expand.noDirEntries = settings.noDirEntries;
    expand.junkDirNames = settings.junkDirNames;
    struct stat archiveInfo {};
    if (::stat(settings.archive.c_str(), &archiveInfo) == 0)
        expand.exclude = std::make_pair(archiveInfo.st_dev, archiveInfo.st_ino);

    // Files the user chose that are left out or change while read: the archive holds the
    // rest, and the result is ZP_ERR_READ.
    Losses losses;
    std::vector<FoundItem> items;
    FileSpecExpander expander(expand, reporter, losses);
    if (const int32_t code = expander.Expand(settings.specs, items); code != ZP_OK) return code;
    if (items.empty() && losses.Count() > expander.MissingNames()) return ZP_ERR_READ;
    if (items.empty()) {
        reporter.Error("zip error: no file matched the file specifications");
        return ZP_ERR_NOMATCH;
    }

    // Declared before the archive, so they outlive the sources that libzip frees with it.
    WorkerPool pool;
    CompressionScheduler scheduler(pool, kMemoryBudget);
    RunContext context(reporter, callbacks.ZipServiceCallback, scheduler, losses);

    ArchiveHandle archive;
    std::string error;
    const int flags = settings.mode == RunMode::New       ? ZIP_CREATE | ZIP_TRUNCATE
                      : settings.mode == RunMode::Freshen ? 0
                                                          : ZIP_CREATE;
    if (!archive.Open(settings.archive, flags, error)) {
        reporter.Error("zip error: cannot open archive " + settings.archive + ": " + error);
        return settings.mode == RunMode::New ? ZP_ERR_WRITE : ZP_ERR_ARCHIVE;
    }
    zip_t *za = archive.get();

    const std::vector<Action> actions = PlanActions(settings.mode, za, items);
    std::optional<std::string> password;
    bool anyFile = false;
    for (const auto &action : actions) anyFile = anyFile || !action.item->isDir;
    if (settings.encrypt && anyFile) {
        password = AskPassword(callbacks.ZipPasswordCallback, settings.archive);
        if (!password) {
            reporter.Error("zip error: no password given");
            return ZP_ERR_PASSWORD;
        }
    }
    if (settings.comment) {
        const auto comment = AskComment(callbacks.ZipCommentCallback);
        if (!comment) {
            reporter.Error("zip error: no comment given");
            return ZP_ERR_COMMENT;
        }
        if (zip_set_archive_comment(za, comment->data(), static_cast<zip_uint16_t>(comment->size())) != 0) {
            reporter.Error(std::string("zip error: cannot set the comment: ") + zip_strerror(za));
            return ZP_ERR_WRITE;
        }
    }

    uint64_t plannedBytes = 0;
    for (const auto &action : actions)
        if (!action.item->isDir) plannedBytes += static_cast<uint64_t>(action.item->info.st_size);
    context.progress.Plan(actions.size(), plannedBytes);
    // libzip calls this from zip_close on this thread, also while it copies entries kept
    // from the old archive, where no source of ours is read.
    zip_register_progress_callback_with_state(
        za, 0.001, [](zip_t *, double, void *progress) { static_cast<RunProgress *>(progress)->Tick(); },
        nullptr, &context.progress);

    // A new archive gets its entries in the order zip_close writes them: their compression
    // can start while the rest are added.
    if (settings.mode == RunMode::New) scheduler.Begin();
    for (const auto &action : actions) {
        const FoundItem &item = *action.item;
        context.progress.Tick();
        WarnAboutForm(reporter, item);
        std::unique_ptr<EntryData> data = MakeEntryData(item, settings, pool.ThreadCount());
        EntryData *dataView = data.get();
        EntrySource *source = nullptr;
        zip_source_t *zs = EntrySource::Create(
            context, std::move(data),
            EntryInfo{item.entryName, item.isDir ? 0 : static_cast<uint64_t>(item.info.st_size),
                      DosRangeTime(item.info.st_mtime), action.existing >= 0, za, 0},
            &source);
        if (!zs) {
            reporter.Error("zip error: out of memory");
            return ZP_ERR_MEMORY;
        }
        const zip_int64_t index =
            action.existing >= 0
                ? (zip_file_replace(za, action.existing, zs, 0) == 0 ? action.existing : -1)
                : zip_file_add(za, item.entryName.c_str(), zs, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(zs);
            reporter.Error("zip error: cannot add " + item.entryName + ": " + zip_strerror(za));
            return ZP_ERR_WRITE;
        }
        source->Info().index = static_cast<zip_uint64_t>(index);
        if (!SetEntryMetadata(za, index, item.info, item.isDir, action.existing >= 0,
                              settings.level, password ? &*password : nullptr, error)) {
            reporter.Error("zip error: cannot add " + item.entryName + ": " + error);
            return ZP_ERR_WRITE;
        }
        scheduler.Add(dataView, static_cast<uint64_t>(index));
    }

    if (settings.mode != RunMode::New) scheduler.Begin();
    if (!archive.Close(error, [&scheduler] { scheduler.Stop(); })) {
        if (context.failure.code != 0) return context.failure.code;
        reporter.Error("zip error: cannot write archive " + settings.archive + ": " + error);
        return ZP_ERR_WRITE;
    }
    ReportTotals(reporter, context.totals, losses);
    return losses.Count() > 0 ? ZP_ERR_READ : ZP_OK;
}

}  // namespace tesk::zip
