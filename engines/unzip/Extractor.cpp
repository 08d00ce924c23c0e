#include "Extractor.h"

#include "Listing.h"
#include "OutputNames.h"
#include "ZipTime.h"

#include <cstring>
#include <memory>
#include <sys/statvfs.h>

namespace tesk::unzip {
namespace {

constexpr uint64_t kMaxLinkTarget = 4095;
constexpr uint64_t kSpaceCheckSize = 1u << 20;

int64_t EntryTime(const CentralEntry &entry) {
    return entry.hasUnixTime ? entry.unixTime
                             : UnixFromLocalCalendar(CalendarFromDos(entry.dosDate, entry.dosTime));
}

// Permission bits to restore, or -1 when the entry carries none (the umask then applies).
int EntryMode(const CentralEntry &entry) {
    const uint32_t mode = entry.unixMode();
    return mode == 0 ? -1 : static_cast<int>(mode & 0777);
}

// "./" or "." (as archives of a folder's "." hold): the destination itself, nothing to do.
// One holding data is no folder, and is reported like any nameless entry.
bool NamesTheDestination(const CentralEntry &entry) {
    if (entry.name.empty() || entry.name.find_first_not_of("./") != std::string::npos) return false;
    return entry.isFolder() || (entry.size == 0 && entry.compressedSize == 0);
}

// The file's own name: its last part.
const std::string &LeafName(const RelativePath &path) { return path.parts.back(); }

}  // namespace

Extractor::Extractor(const UnzipOptions &options, const UnzipCallbacks &callbacks,
                     Reporter &reporter, const ArchiveFile &archive,
                     const CentralDirectory &directory, std::vector<EntryCheck> checks,
                     EntryDecoder &decoder)
    : options_(options),
      callbacks_(callbacks),
      reporter_(reporter),
      archive_(archive),
      directory_(directory),
      checks_(std::move(checks)),
      decoder_(decoder),
      progress_(reporter.clock(), [&reporter](const std::string &line) { reporter.Progress(line); }),
      passwords_(callbacks.PasswordCallback,
                 [&reporter](const std::string &name) {
                     // Before the prompt comes again, so the caller can show why.
                     reporter.Notice("warning: " + name + ": incorrect password");
                 }),
      replace_(options, callbacks.ReplaceCallback) {}

void Extractor::Run(EntrySelection &selection) {
    const bool testing = options_.TestZip != 0;
    if (!testing) {
        std::string error;
        const char *root = options_.ExtractFolder;
        if (!root || !*root) {
            reporter_.Problem(UZ_ERR_PARAM, "error: no destination folder given");
            return;
        }
        if (!tree_.Open(root, error)) {
            reporter_.Problem(UZ_ERR_WRITE,
                              "error: cannot open the destination " + std::string(root) + ": " + error);
            return;
        }
    }
    const auto &entries = directory_.entries();
    std::vector<size_t> selected;
    for (size_t i = 0; i < entries.size(); ++i)
        if (selection.Selects(entries[i].name)) selected.push_back(i);
    // Line ends are converted on the calling thread, so such entries are not written ahead.
    SpoolMaker spool;
    if (!testing && !options_.ConvertCRToCRLF)
        spool = [this](const CentralEntry &entry, uint64_t needed) {
            return tree_.CreateSpool(EntryMode(entry), needed);
        };
    prefetcher_ = std::make_unique<Prefetcher>(archive_, directory_, checks_, selected, testing,
                                               std::move(spool));
    uint64_t selectedBytes = 0;
    for (size_t i : selected) selectedBytes += entries[i].size;
    progress_.Plan(selected.size(), selectedBytes);

    size_t done = 0, skipped = 0, failed = 0;
    bool stopped = false;
    for (size_t i : selected) {
        if (stopped) break;
        if (callbacks_.ServiceCallback &&
            callbacks_.ServiceCallback(entries[i].name.c_str(),
                                       static_cast<int32_t>(entries[i].name.size())) == 1)
            stopped = true;  // after this entry
        switch (testing ? Test(i) : Process(i)) {
        case Outcome::Done: ++done; break;
        case Outcome::Skipped: ++skipped; break;
        case Outcome::Failed: ++failed; break;
        case Outcome::Ignored: break;
        }
        progress_.EntryDone(entries[i].size);
    }
    prefetcher_.reset();  // stops the worker
    // Children were created after their parents: going backwards sets a folder's time
    // after everything inside it was written.
    const auto &created = tree_.createdFolders();
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        const auto found = folderAttributes_.find(*it);
        if (found != folderAttributes_.end())
            tree_.SetFolderAttributes(SplitRelativePath(*it).parts, found->second.mode,
                                      found->second.mtime);
    }
    if (stopped) reporter_.Problem(UZ_ERR_ABORT, "Stopped at the caller's request.");
    for (const std::string &pattern : selection.UnmatchedIncludes())
        reporter_.Problem(UZ_ERR_NOMATCH, "error: no entry matches " + pattern);
    reporter_.Summary("Done: " + std::to_string(done) + (testing ? " tested OK, " : " extracted, ") +
                      std::to_string(skipped) + " skipped, " + std::to_string(failed) + " failed" +
                      (firstFailure_.empty() ? "" : " (" + firstFailure_ + ")"));
}

bool Extractor::Faulty(size_t index) {
    const EntryFault fault = checks_[index].fault;
    if (fault == EntryFault::None) return false;
    Failed(UZ_ERR_BADZIP, directory_.entries()[index].name, EntryFaultText(fault));
    return true;
}

Extractor::Outcome Extractor::FolderFailed(const CentralEntry &entry, const TreeResult &result) {
    if (result.fault == TreeFault::ThroughLink) {
        reporter_.Problem(UZ_WARNING,
                          "warning: " + entry.name + ": " + TreeFaultText(result) + ", skipped");
        return Outcome::Skipped;
    }
    return WriteFailed(entry.name, "cannot create folder", result.error ? result.error : ENOTDIR);
}

Extractor::Outcome Extractor::Test(size_t index) {
    const CentralEntry &entry = directory_.entries()[index];
    if (Faulty(index)) return Outcome::Failed;
    if (entry.isFolder()) return Outcome::Done;
    NullSink sink;
    const DecodeResult result = DecodeEntry(index, [&]() -> OutputSink * { return &sink; });
    if (result.status != DecodeStatus::Ok) return DecodeFailed(entry, result);
    WarnIfLonger(entry, result);
    reporter_.Info("    testing: " + entry.name + "  OK");
    return Outcome::Done;
}

Extractor::Outcome Extractor::Process(size_t index) {
    const CentralEntry &entry = directory_.entries()[index];
    if (Faulty(index)) return Outcome::Failed;
    const RelativePath path =
        MapOutputPath(entry.name, options_.UseFolderNames != 0, options_.SpaceToUnderScore != 0);
    if (path.risk == NameRisk::Empty && NamesTheDestination(entry)) return Outcome::Ignored;
    if (path.risk != NameRisk::None) {
        reporter_.Problem(UZ_WARNING, "warning: " + entry.name + ": " +
                                          NameRiskText(path.risk) + ", skipped");
        return Outcome::Skipped;
    }
    if (entry.isFolder()) {
        // Without folder names a folder entry leaves nothing to do.
        return options_.UseFolderNames ? MakeFolder(entry, path) : Outcome::Ignored;
    }
    if (!written_.insert(JoinParts(path.parts)).second) {
        reporter_.Problem(UZ_WARNING, "warning: " + entry.name + ": duplicate name, skipped");
        return Outcome::Skipped;
    }
    return WriteEntry(index, path);
}

Extractor::Outcome Extractor::MakeFolder(const CentralEntry &entry, const RelativePath &path) {
    int folderFd = -1;
    const TreeResult opened = tree_.OpenFolder(path.parts, path.parts.size(), folderFd);
    if (opened.fault != TreeFault::None) return FolderFailed(entry, opened);
    const std::string relative = JoinParts(path.parts);
    folderAttributes_[relative] = {EntryMode(entry), EntryTime(entry)};
    reporter_.Info("   creating: " + relative + "/");
    return Outcome::Done;
}

Extractor::Outcome Extractor::WriteEntry(size_t index, const RelativePath &path) {
    const CentralEntry &entry = directory_.entries()[index];
    const std::string relative = JoinParts(path.parts);
    int folderFd = -1;
    const TreeResult opened = tree_.OpenFolder(path.parts, path.parts.size() - 1, folderFd);
    if (opened.fault != TreeFault::None) return FolderFailed(entry, opened);

    const int64_t entryTime = EntryTime(entry);
    struct stat existing {};
    if (OutputTree::Existing(folderFd, LeafName(path), existing)) {
        if (S_ISDIR(existing.st_mode))
            return WriteFailed(entry.name, "a folder of that name exists", EISDIR);
        switch (replace_.Decide(relative, entryTime, !entry.hasUnixTime, existing.st_mtime)) {
        case ReplaceDecision::Replace: break;
        case ReplaceDecision::KeepExisting:
            reporter_.Info("   skipping: " + relative + " (already exists)");
            return Outcome::Skipped;
        case ReplaceDecision::KeepNewer:
            reporter_.Info("   skipping: " + relative + " (not newer)");
            return Outcome::Skipped;
        case ReplaceDecision::KeepAnswered:
            reporter_.Info("   skipping: " + relative + " (not replaced)");
            return Outcome::Skipped;
        }
    }

    std::shared_ptr<PendingOutput> pending;
    int error = 0;
    if (entry.isSymlink()) {
        if (entry.size > kMaxLinkTarget) {
            reporter_.Problem(UZ_WARNING, "warning: " + entry.name + ": link target too long, skipped");
            return Outcome::Skipped;
        }
        MemorySink target;
        const DecodeResult result = DecodeEntry(index, [&]() -> OutputSink * {
            target = MemorySink();
            return &target;
        });
        if (result.status != DecodeStatus::Ok) return DecodeFailed(entry, result);
        const std::string &text = target.bytes();
        if (text.find('\0') != std::string::npos ||
            !LinkTargetStaysInside(text, path.parts.size() - 1)) {
            reporter_.Problem(UZ_WARNING, "warning: " + entry.name + ": link target " + text +
                                              " leaves the destination, skipped");
            return Outcome::Skipped;
        }
        pending = std::make_shared<PendingOutput>();
        if (!tree_.CreateLink(folderFd, text, *pending, error) ||
            !pending->Commit(LeafName(path), -1, entryTime, error))
            return WriteFailed(entry.name, "cannot create link", error);
        reporter_.Info("    linking: " + relative + " -> " + text);
        return Outcome::Done;
    }

    // Small entries need no look at the free space: a full disk still fails their write.
    struct statvfs space {};
    if (entry.size > kSpaceCheckSize && fstatvfs(folderFd, &space) == 0) {
        const uint64_t available =
            static_cast<uint64_t>(space.f_bavail) * space.f_frsize + prefetcher_->SpooledAhead();
        if (entry.size > available) {
            return Failed(UZ_ERR_WRITE, entry.name,
                          "not enough disk space (" + std::to_string(entry.size) +
                              " bytes needed, " + std::to_string(available) + " available)");
        }
    }
    const int mode = EntryMode(entry);
    std::unique_ptr<FileSink> file;
    std::unique_ptr<LineEndSink> lineEnds;
    bool created = true;
    const SinkMaker makeSink = [&]() -> OutputSink * {
        lineEnds.reset();
        file.reset();
        pending = std::make_shared<PendingOutput>();  // drops the previous try's file
        if (!tree_.CreateFile(folderFd, mode, *pending, error)) {
            created = false;
            return nullptr;
        }
        file = std::make_unique<FileSink>(pending->fd());
        if (!options_.ConvertCRToCRLF) return file.get();
        lineEnds = std::make_unique<LineEndSink>(*file, (entry.internalAttributes & 1) != 0);
        return lineEnds.get();
    };
    bool spooled = false;
    const SpoolTaker takeSpool = [&](std::shared_ptr<PendingOutput> written) {
        written->PlaceIn(folderFd);
        pending = std::move(written);
        spooled = true;
    };
    DecodeResult result;
    bool committed = false;
    for (const SpoolTaker *taker : {&takeSpool, static_cast<const SpoolTaker *>(nullptr)}) {
        spooled = false;
        result = DecodeEntry(index, makeSink, taker);
        if (!created) return WriteFailed(entry.name, "cannot create file", error);
        if (result.status != DecodeStatus::Ok) {
            pending.reset();
            return DecodeFailed(entry, result);
        }
        committed = pending->Commit(LeafName(path), mode, entryTime, error);
        // Written ahead on another mount than its folder's (a mount inside the destination):
        // decoded again, in its folder.
        if (committed || !spooled || error != EXDEV) break;
        pending.reset();
    }
    if (!committed) return WriteFailed(entry.name, "cannot write", error);
    WarnIfLonger(entry, result);
    reporter_.Info((entry.method == kMethodStored ? " extracting: " : "  inflating: ") + relative);
    return Outcome::Done;
}

DecodeResult Extractor::Drain(EntryStream &stream, OutputSink *sink) {
    std::vector<uint8_t> chunk;
    for (;;) {
        switch (stream.Next(chunk)) {
        case EntryStream::Got::Chunk:
            if (!sink->Write(chunk.data(), chunk.size())) {
                stream.Abandon();
                return {DecodeStatus::OutputError, sink->error()};
            }
            break;
        case EntryStream::Got::Nothing:
            // Testing, or the worker writes the file itself: its count is the progress.
            if (!stream.keepsData()) progress_.EntryAdvanced(stream.produced());
            progress_.Tick();
            break;
        case EntryStream::Got::End: {
            DecodeResult result = stream.result();
            if (result.status == DecodeStatus::Ok && sink && !sink->Finish())
                result = {DecodeStatus::OutputError, sink->error()};
            return result;
        }
        }
    }
}

DecodeResult Extractor::DecodeEntry(size_t index, const SinkMaker &makeSink,
                                    const SpoolTaker *takeSpool) {
    const CentralEntry &entry = directory_.entries()[index];
    if (entry.size >= RunProgress::kLargeEntry)
        progress_.EntryBegins((options_.TestZip ? "    testing: " : "  inflating: ") + entry.name,
                              entry.size);
    const auto advanced = [this](uint64_t done) { progress_.EntryAdvanced(done); };
    if (!entry.encrypted()) {
        std::optional<Prefetched> ready = prefetcher_->Take(index, [this] { progress_.Tick(); });
        if (ready && ready->file) {
            if (takeSpool) {
                const DecodeResult result = Drain(*ready->stream, nullptr);
                if (result.status == DecodeStatus::Ok) (*takeSpool)(std::move(ready->file));
                return result;  // a failed file vanishes with ready
            }
            ready->stream->Abandon();
            ready.reset();
        }
        OutputSink *made = makeSink();
        if (!made) return {DecodeStatus::OutputError, {}};
        CountingSink counted(*made, advanced);
        OutputSink *sink = &counted;
        if (ready) {
            if (ready->stream) return Drain(*ready->stream, sink);
            DecodeResult result = ready->result;
            if (result.status == DecodeStatus::Ok &&
                (!sink->Write(ready->bytes.data(), ready->bytes.size()) || !sink->Finish()))
                result = {DecodeStatus::OutputError, sink->error()};
            prefetcher_->Recycle(std::move(ready->bytes));
            if (result.detail != kMayBeLonger) return result;
        }
        return decoder_.Decode(index, entry, checks_[index].dataStart, nullptr, *sink);
    }
    if (DecodeResult checked = decoder_.Check(index, entry); checked.status != DecodeStatus::Ok)
        return checked;
    passwords_.BeginEntry();
    DecodeResult last{DecodeStatus::WrongPassword, {}};
    while (auto password = passwords_.Next(entry.name)) {
        OutputSink *made = makeSink();
        if (!made) return {DecodeStatus::OutputError, {}};
        CountingSink sink(*made, advanced);
        last = decoder_.Decode(index, entry, checks_[index].dataStart, password->c_str(), sink);
        switch (last.status) {
        case DecodeStatus::Ok:
            passwords_.Worked(*password);
            return last;
        case DecodeStatus::WrongPassword: continue;
        // A password that passes the traditional encryption's one-byte check can still be
        // wrong: the data then fails to inflate or to match its CRC. Past AES's password
        // verifier, such a failure is damage, and asking again would not mend it.
        case DecodeStatus::BadData:
        case DecodeStatus::CrcMismatch:
        case DecodeStatus::SizeMismatch:
            if (entry.isAes()) return last;
            continue;
        default: return last;
        }
    }
    return {passwords_.refused() ? DecodeStatus::PasswordRefused : DecodeStatus::WrongPassword, {}};
}

Extractor::Outcome Extractor::DecodeFailed(const CentralEntry &entry, const DecodeResult &result) {
    int32_t code = UZ_ERR_BADZIP;
    std::string what;
    switch (result.status) {
    case DecodeStatus::Ok: return Outcome::Done;
    case DecodeStatus::WrongPassword:
        code = UZ_ERR_PASSWORD;
        what = "incorrect password";
        break;
    case DecodeStatus::PasswordRefused:
        code = UZ_ERR_PASSWORD;
        what = "no password given";
        break;
    case DecodeStatus::BadData:
        what = "corrupt data" + (result.detail.empty() ? "" : " (" + result.detail + ")");
        break;
    case DecodeStatus::CrcMismatch:
        what = entry.isAes() ? "authentication failed (damaged data)" : "CRC mismatch";
        break;
    case DecodeStatus::SizeMismatch: what = "size differs from the central directory"; break;
    case DecodeStatus::Unsupported:
        what = result.detail.empty() ? std::string("unsupported method (") + MethodName(entry.method) + ")"
                                     : "unsupported " + result.detail;
        break;
    case DecodeStatus::OutputError:
        code = UZ_ERR_WRITE;
        what = "cannot write: " + result.detail;
        break;
    case DecodeStatus::NoMemory:
        code = UZ_ERR_MEMORY;
        what = "out of memory";
        break;
    }
    const bool password = code == UZ_ERR_PASSWORD;
    return Failed(code, entry.name, what, password ? ", skipped" : "");
}

void Extractor::WarnIfLonger(const CentralEntry &entry, const DecodeResult &result) {
    if (result.beyondRecordedSize == 0) return;
    reporter_.Problem(UZ_OK, "warning: " + entry.name + ": " +
                                 std::to_string(result.beyondRecordedSize >> 30) +
                                 " GiB longer than recorded (a size kept in 32 bits), CRC correct");
}

Extractor::Outcome Extractor::WriteFailed(const std::string &name, const std::string &what,
                                          int error) {
    return Failed(UZ_ERR_WRITE, name, what + ": " + std::strerror(error));
}

Extractor::Outcome Extractor::Failed(int32_t code, const std::string &name,
                                     const std::string &cause, const char *tail) {
    if (firstFailure_.empty()) firstFailure_ = name + ": " + cause;
    reporter_.Problem(code, "error: " + name + ": " + cause + tail);
    return Outcome::Failed;
}

}  // namespace tesk::unzip
