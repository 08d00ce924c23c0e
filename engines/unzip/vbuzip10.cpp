// The engine's C entry points.
#include "vbuzip10.h"

#include "ArchiveFile.h"
#include "CentralDirectory.h"
#include "EntryDecoder.h"
#include "EntrySelection.h"
#include "EntryValidation.h"
#include "Extractor.h"
#include "Listing.h"
#include "Reporter.h"
#include "ZipHandle.h"

#include <cstring>
#include <new>
#include <string>

namespace {

using namespace tesk::unzip;

constexpr uint8_t kVersion[3] = {1, 0, 0};

int32_t Run(int32_t includeCount, const char *const *includeList, int32_t excludeCount,
            const char *const *excludeList, const UnzipOptions &options,
            const UnzipCallbacks &callbacks) {
    Reporter reporter(callbacks.PrintCallback, options.MessageLevel);
    if (!options.ArchivePath || !*options.ArchivePath) {
        reporter.Problem(UZ_ERR_PARAM, "error: no archive given");
        return reporter.result();
    }
    const std::string archivePath = options.ArchivePath;
    ArchiveFile archive;
    CentralDirectory directory;
    std::string error;
    if (!archive.Open(archivePath, error) || !directory.Read(archive, error)) {
        reporter.Problem(UZ_ERR_OPEN, "error: cannot open " + archivePath + ": " + error);
        return reporter.result();
    }
    if (options.ListOnly) {
        ListEntries(directory, callbacks.EntryCallback);
        return reporter.result();
    }
    PrepareForLibzip(archive, directory);
    ZipHandle zip;
    if (!zip.Open(archive, directory, error)) {
        reporter.Problem(UZ_ERR_OPEN, "error: cannot open " + archivePath + ": " + error);
        return reporter.result();
    }
    EntryDecoder decoder(zip.get(), archive);
    EntrySelection selection(includeCount, includeList, excludeCount, excludeList,
                             options.CaseSensitiveFileNames != 0);
    Extractor extractor(options, callbacks, reporter, archive, directory,
                        ValidateEntries(archive, directory), decoder);
    extractor.Run(selection);
    return reporter.result();
}

void CopyText(char *field, size_t size, const char *text) {
    std::memset(field, 0, size);
    std::strncpy(field, text, size - 1);
}

}  // namespace

extern "C" {

TESK_EXPORT int32_t TESK_CALL Wiz_SingleEntryUnzip(int32_t includeCount,
                                                   const char *const *includeList,
                                                   int32_t excludeCount,
                                                   const char *const *excludeList,
                                                   const UnzipOptions *options,
                                                   const UnzipCallbacks *callbacks) {
    if (!options) return UZ_ERR_PARAM;
    const UnzipCallbacks none{};
    try {
        return Run(includeCount, includeList, excludeCount, excludeList, *options,
                   callbacks ? *callbacks : none);
    } catch (const std::bad_alloc &) {
        return UZ_ERR_MEMORY;
    } catch (...) {
        return UZ_ERR_BADZIP;
    }
}

TESK_EXPORT void TESK_CALL UzpVersion2(UnzipVersion *version) {
    if (!version) return;
    version->Length = static_cast<int32_t>(sizeof(UnzipVersion));
    version->Flags = 0;
    CopyText(version->ExtraInfo, sizeof version->ExtraInfo, "");
    CopyText(version->Date, sizeof version->Date, "2026-12-06");
    CopyText(version->LibraryVersion, sizeof version->LibraryVersion, zip_libzip_version());
    for (int i = 0; i < 3; ++i) {
        version->FormatVersion[i] = kVersion[i];
        version->ListingVersion[i] = kVersion[i];
        version->EngineVersion[i] = kVersion[i];
    }
    version->FormatVersion[3] = version->ListingVersion[3] = version->EngineVersion[3] = 0;
    std::memset(version->Reserved, 0, sizeof version->Reserved);
}
}
