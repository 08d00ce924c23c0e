#include "cUnzip.h"

#include "TeskError.h"
#include "mUnzip.h"

#include <cstring>
#include <limits>

namespace {

bool Flag(int32_t field) { return field != 0; }
int32_t FlagValue(bool bState) { return bState ? 1 : 0; }

// The include name of one entry: folder "/" name with every "\" turned into "/".
std::string BuildEntrySpec(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    std::string spec = folder + "/" + name;
    for (char &c : spec)
        if (c == '\\') c = '/';
    return spec;
}

// The engine's empty extraction folder for a listing.
const char kEmptyText[] = "";

}  // namespace

cUnzip::cUnzip() = default;

bool cUnzip::ExtractOnlyNewer() const { return Flag(options_.ExtractOnlyNewer); }
void cUnzip::ExtractOnlyNewer(bool bState) { options_.ExtractOnlyNewer = FlagValue(bState); }
bool cUnzip::SpaceToUnderScore() const { return Flag(options_.SpaceToUnderScore); }
void cUnzip::SpaceToUnderScore(bool bState) { options_.SpaceToUnderScore = FlagValue(bState); }
bool cUnzip::PromptToOverwrite() const { return Flag(options_.PromptToOverwrite); }
void cUnzip::PromptToOverwrite(bool bState) { options_.PromptToOverwrite = FlagValue(bState); }
int32_t cUnzip::MessageLevel() const { return options_.MessageLevel; }
void cUnzip::MessageLevel(int32_t eLevel) { options_.MessageLevel = eLevel; }
bool cUnzip::TestZip() const { return Flag(options_.TestZip); }
void cUnzip::TestZip(bool bState) { options_.TestZip = FlagValue(bState); }
bool cUnzip::UseFolderNames() const { return Flag(options_.UseFolderNames); }
void cUnzip::UseFolderNames(bool bState) { options_.UseFolderNames = FlagValue(bState); }
bool cUnzip::OverwriteExisting() const { return Flag(options_.OverwriteExisting); }
void cUnzip::OverwriteExisting(bool bState) { options_.OverwriteExisting = FlagValue(bState); }
bool cUnzip::ConvertCRToCRLF() const { return Flag(options_.ConvertCRToCRLF); }
void cUnzip::ConvertCRToCRLF(bool bState) { options_.ConvertCRToCRLF = FlagValue(bState); }
bool cUnzip::CaseSensitiveFileNames() const { return Flag(options_.CaseSensitiveFileNames); }
void cUnzip::CaseSensitiveFileNames(bool bState) {
    options_.CaseSensitiveFileNames = FlagValue(bState);
}

int32_t cUnzip::FileCount() const { return static_cast<int32_t>(entries_.size()); }

const ArchiveEntry &cUnzip::Entry(int32_t lIndex) const {
    if (lIndex < 1 || lIndex > FileCount())
        throw TeskError(TeskError::kSubscriptOutOfRange, "tesk.cUnzip", "Subscript out of range");
    return entries_[static_cast<size_t>(lIndex - 1)];
}

std::string cUnzip::FileName(int32_t lIndex) const { return Entry(lIndex).FileName; }
std::string cUnzip::FileDirectory(int32_t lIndex) const { return Entry(lIndex).FileDirectory; }
int64_t cUnzip::FileSize(int32_t lIndex) const { return Entry(lIndex).FileSize; }
int64_t cUnzip::FileCompressedSize(int32_t lIndex) const {
    return Entry(lIndex).FileCompressedSize;
}
int32_t cUnzip::FileCompressionRatio(int32_t lIndex) const {
    return Entry(lIndex).FileCompressionRatio;
}
double cUnzip::FileDate(int32_t lIndex) const { return Entry(lIndex).FileDate; }
int32_t cUnzip::FileCRC(int32_t lIndex) const { return Entry(lIndex).FileCRC; }
std::string cUnzip::FileCompressionMethod(int32_t lIndex) const {
    return Entry(lIndex).FileCompressionMethod;
}
bool cUnzip::FileEncrypted(int32_t lIndex) const { return Entry(lIndex).FileEncrypted; }
bool cUnzip::FileSelected(int32_t lIndex) const { return Entry(lIndex).FileSelected; }
void cUnzip::FileSelected(int32_t lIndex, bool bState) {
    Entry(lIndex);  // range check
    entries_[static_cast<size_t>(lIndex - 1)].FileSelected = bState;
}

int64_t cUnzip::FilePackedSize(int32_t lIndex) const {
    if (lIndex < 1 || lIndex > FileCount()) return 0;
    const ArchiveEntry &entry = entries_[static_cast<size_t>(lIndex - 1)];
    int64_t product = 0;
    if (__builtin_mul_overflow(entry.FileSize, static_cast<int64_t>(entry.FileCompressionRatio),
                               &product))
        return 0;
    return product / 100;  // C++ division rounds toward zero
}

int32_t cUnzip::Directory() {
    options_.ArchivePath = zipFileSet_ ? zipFile_.c_str() : nullptr;
    options_.ExtractFolder = kEmptyText;
    options_.ListOnly = 1;
    return VBUnzip(*this, options_, 0, {}, 0, {});
}

bool cUnzip::Unzip() {
    if (zipFile_.empty()) return false;
    std::vector<std::string> names;
    for (const ArchiveEntry &entry : entries_)
        if (entry.FileSelected) names.push_back(BuildEntrySpec(entry.FileDirectory, entry.FileName));
    // Every entry selected (or none listed) asks the engine for the whole archive.
    if (names.size() == entries_.size()) names.clear();

    options_.ArchivePath = zipFile_.c_str();
    options_.ListOnly = 0;
    options_.ExtractFolder = unzipFolderSet_ ? unzipFolder_.c_str() : nullptr;
    lastResult_ = VBUnzip(*this, options_, static_cast<int32_t>(names.size()), names, 0, {});
    return lastResult_ != 0;
}

void cUnzip::UnzipFolder(const std::string &sFolder) {
    unzipFolder_ = sFolder;
    unzipFolderSet_ = true;
}
std::string cUnzip::UnzipFolder() const { return unzipFolder_; }

std::string cUnzip::ZipFile() const { return zipFile_; }
void cUnzip::ZipFile(const std::string &sFile) {
    zipFile_ = sFile;
    zipFileSet_ = true;
    entries_.clear();
}

void cUnzip::GetVersion(int32_t &lMajor, int32_t &lMinor, int32_t &lRevision, double &,
                        std::string &sExtraInfo) {
    UnzipVersion version{};
    version.Length = sizeof(UnzipVersion);
    std::memset(version.ExtraInfo, ' ', sizeof version.ExtraInfo - 1);
    std::memset(version.Date, ' ', sizeof version.Date - 1);
    std::memset(version.LibraryVersion, ' ', sizeof version.LibraryVersion - 1);
    VBUnzipVersion(version);

    sExtraInfo.assign(version.ExtraInfo, strnlen(version.ExtraInfo, sizeof version.ExtraInfo));
    sExtraInfo.resize(sizeof version.ExtraInfo, ' ');
    lMajor = version.EngineVersion[0];
    lMinor = version.EngineVersion[1];
    lRevision = version.EngineVersion[2];
}

void cUnzip::AddEntry(const std::string &name, const std::string &folder, double date,
                      int64_t size, int64_t compressedSize, int32_t crc, bool encrypted,
                      int32_t ratio, const std::string &method) {
    if (name.empty()) return;
    ArchiveEntry entry;
    entry.FileName = name;
    entry.FileDirectory = folder;
    entry.FileDate = date;
    entry.FileSize = size;
    entry.FileCompressedSize = compressedSize;
    entry.FileCRC = crc;
    entry.FileEncrypted = encrypted;
    entry.FileCompressionRatio = ratio;
    entry.FileCompressionMethod = method;
    entry.FileSelected = true;
    entries_.push_back(std::move(entry));
}

void cUnzip::RaiseCancel(const std::string &sMsg, bool &bCancel) {
    if (listener_) listener_->Cancel(sMsg, bCancel);
}
void cUnzip::RaiseOverwritePrompt(const std::string &sFile, int32_t &eResponse) {
    if (listener_) listener_->OverwritePrompt(sFile, eResponse);
}
void cUnzip::RaisePasswordRequest(std::string &sPassword, bool &bCancel) {
    if (listener_) listener_->PasswordRequest(sPassword, bCancel);
}
void cUnzip::RaiseProgress(const std::string &sMsg) {
    if (listener_) listener_->Progress(1, sMsg);
}
