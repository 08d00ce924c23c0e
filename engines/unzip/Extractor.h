// Extraction and testing of the selected entries of one archive, on the calling thread.
#pragma once

#include "ArchiveFile.h"
#include "CentralDirectory.h"
#include "EntryDecoder.h"
#include "EntrySelection.h"
#include "EntryValidation.h"
#include "OutputTree.h"
#include "PathSafety.h"
#include "Prefetcher.h"
#include "PasswordSource.h"
#include "ReplacePolicy.h"
#include "Reporter.h"
#include "RunProgress.h"
#include "vbuzip10.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace tesk::unzip {

// Walks the selected entries in central-directory order. For each: ServiceCallback, then
// the safety checks, the replace decision, decoding (with passwords) into a temporary
// file, and the rename into place. Every callback is made from Run's thread.
class Extractor {
public:
    // archive: what the directory was read from, for decoding ahead on a worker thread.
    Extractor(const UnzipOptions &options, const UnzipCallbacks &callbacks, Reporter &reporter,
              const ArchiveFile &archive, const CentralDirectory &directory,
              std::vector<EntryCheck> checks, EntryDecoder &decoder);

    // Opens the destination (unless testing) and processes the entries.
    void Run(EntrySelection &selection);

private:
    enum class Outcome { Done, Skipped, Failed, Ignored };  // Ignored: not counted
    using SinkMaker = std::function<OutputSink *()>;
    // Receives the file a worker wrote an entry into, complete and checked.
    using SpoolTaker = std::function<void(std::shared_ptr<PendingOutput>)>;

    Outcome Process(size_t index);
    Outcome Test(size_t index);
    Outcome MakeFolder(const CentralEntry &entry, const RelativePath &path);
    Outcome WriteEntry(size_t index, const RelativePath &path);

    // Decodes with the passwords the entry needs; makeSink gives a fresh sink for each try.
    // takeSpool (null: never) is given the file instead when a worker wrote the entry into
    // one; makeSink is then not called.
    DecodeResult DecodeEntry(size_t index, const SinkMaker &makeSink,
                             const SpoolTaker *takeSpool = nullptr);
    // Writes what a worker decodes as it comes (sink: null for a stream that keeps no data).
    DecodeResult Drain(EntryStream &stream, OutputSink *sink);
    // Reports an entry that failed validation.
    bool Faulty(size_t index);
    // Reports a folder that could not be opened: a link in the way is a refusal.
    Outcome FolderFailed(const CentralEntry &entry, const TreeResult &result);
    // Reports a failed decode; returns Failed.
    Outcome DecodeFailed(const CentralEntry &entry, const DecodeResult &result);
    Outcome WriteFailed(const std::string &name, const std::string &what, int error);
    // Tells when an entry's data was longer than its recorded size by whole 4 GiB.
    void WarnIfLonger(const CentralEntry &entry, const DecodeResult &result);
    // Reports "error: NAME: CAUSE" (and tail) and keeps the first such failure for the
    // summary; returns Failed.
    Outcome Failed(int32_t code, const std::string &name, const std::string &cause,
                   const char *tail = "");

    const UnzipOptions &options_;
    const UnzipCallbacks &callbacks_;
    Reporter &reporter_;
    const ArchiveFile &archive_;
    const CentralDirectory &directory_;
    std::vector<EntryCheck> checks_;
    EntryDecoder &decoder_;
    std::unique_ptr<Prefetcher> prefetcher_;
    RunProgress progress_;
    PasswordSource passwords_;
    ReplacePolicy replace_;
    OutputTree tree_;
    std::unordered_set<std::string> written_;  // output paths of this call
    struct FolderAttributes {
        int mode;
        int64_t mtime;
    };
    std::map<std::string, FolderAttributes> folderAttributes_;
    std::string firstFailure_;  // "NAME: cause" of the first entry that failed
};

}  // namespace tesk::unzip
