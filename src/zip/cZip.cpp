#include "cZip.h"

#include "TeskError.h"
#include "mZip.h"

namespace {

bool Flag(int32_t field) { return field != 0; }
int32_t FlagValue(bool bState) { return bState ? 1 : 0; }

}  // namespace

cZip::cZip() {
    StoreDirectories(false);
    StoreFolderNames(false);
    RecurseSubDirs(false);
    // The engine reads a level character of 0 as its own default; the level shown is the
    // level sent from the first run on.
    CompressionLevel(9);
}

int16_t cZip::CompressionLevel() const { return compressionLevel_; }
void cZip::CompressionLevel(int16_t CLevel) {
    compressionLevel_ = CLevel;
    options_.LevelChar = std::to_string(CLevel)[0];
}

std::string cZip::ZipFile() const { return zipFile_; }
void cZip::ZipFile(const std::string &sFileName) {
    zipFile_ = sFileName;
    zipFileSet_ = true;
}

std::string cZip::BasePath() const { return basePath_.value_or(std::string()); }
void cZip::BasePath(const std::string &sBasePath) {
    basePath_ = sBasePath;
    options_.RootDir = basePath_->c_str();
}

bool cZip::Encrypt() const { return Flag(options_.Encrypt); }
void cZip::Encrypt(bool bState) { options_.Encrypt = FlagValue(bState); }
bool cZip::AddComment() const { return Flag(options_.Comment); }
void cZip::AddComment(bool bState) { options_.Comment = FlagValue(bState); }
bool cZip::IncludeSystemAndHiddenFiles() const { return Flag(options_.SystemHidden); }
void cZip::IncludeSystemAndHiddenFiles(bool bState) { options_.SystemHidden = FlagValue(bState); }
bool cZip::StoreVolumeLabel() const { return Flag(options_.VolumeLabel); }
void cZip::StoreVolumeLabel(bool bState) { options_.VolumeLabel = FlagValue(bState); }
bool cZip::StoreDirectories() const { return options_.NoDirEntries == 0; }
void cZip::StoreDirectories(bool bState) { options_.NoDirEntries = FlagValue(!bState); }
bool cZip::StoreFolderNames() const { return options_.JunkDirNames == 0; }
void cZip::StoreFolderNames(bool bState) { options_.JunkDirNames = FlagValue(!bState); }
bool cZip::RecurseSubDirs() const { return Flag(options_.Recurse); }
void cZip::RecurseSubDirs(bool bState) { options_.Recurse = bState ? 2 : 0; }
bool cZip::UpdateOnlyIfNewer() const { return Flag(options_.Update); }
void cZip::UpdateOnlyIfNewer(bool bState) { options_.Update = FlagValue(bState); }
bool cZip::FreshenFiles() const { return Flag(options_.Freshen); }
void cZip::FreshenFiles(bool bState) { options_.Freshen = FlagValue(bState); }

int32_t cZip::MessageLevel() const {
    if (options_.Verbose) return 0;
    return options_.Quiet ? 1 : 2;
}
void cZip::MessageLevel(int32_t eLevel) {
    if (eLevel < 0 || eLevel > 2) return;
    options_.Verbose = FlagValue(eLevel == 0);
    options_.Quiet = FlagValue(eLevel == 1);
}

bool cZip::ConvertCRLFToLF() const { return Flag(options_.CRLFToLF); }
void cZip::ConvertCRLFToLF(bool bState) { options_.CRLFToLF = FlagValue(bState); }
bool cZip::ConvertLFToCRLF() const { return Flag(options_.LFToCRLF); }
void cZip::ConvertLFToCRLF(bool bState) { options_.LFToCRLF = FlagValue(bState); }

void cZip::ClearFileSpecs() { specs_.clear(); }
int32_t cZip::AddFileSpec(const std::string &sSpec) {
    specs_.push_back(sSpec);
    return 0;
}
int32_t cZip::FileSpecCount() const { return static_cast<int32_t>(specs_.size()); }
std::string cZip::FileSpec(int32_t nIndex) const {
    if (nIndex < 1 || nIndex > FileSpecCount())
        throw TeskError(TeskError::kSubscriptOutOfRange, "tesk.cZip", "Subscript out of range");
    return specs_[static_cast<size_t>(nIndex - 1)];
}

bool cZip::AllowAppend() const { return Flag(options_.Append); }
void cZip::AllowAppend(bool bState) { options_.Append = FlagValue(bState); }

void cZip::Zip() {
    lastResult_ = 0;
    lastResult_ = VBZip(*this, options_, specs_, FileSpecCount());
}

bool cZip::Success() const { return lastResult_ == 0; }

void cZip::Delete() {
    options_.DeleteEntries = 1;
    try {
        VBZip(*this, options_, specs_, FileSpecCount());
    } catch (...) {
        options_.DeleteEntries = 0;
        throw;
    }
    options_.DeleteEntries = 0;
}

void cZip::TakeEngineBasePath(const char *rootDir) {
    if (rootDir) {
        if (!basePath_ || rootDir != basePath_->c_str()) BasePath(std::string(rootDir));
    } else {
        basePath_.reset();
    }
    options_.RootDir = basePath_ ? basePath_->c_str() : nullptr;
}

void cZip::RaiseProgress(const std::string &sMsg) {
    if (listener_) listener_->Progress(1, sMsg);
}
void cZip::RaisePasswordRequest(std::string &sPassword, int32_t lMaxPasswordLength,
                                bool bConfirm, bool &bCancel) {
    if (listener_) listener_->PasswordRequest(sPassword, lMaxPasswordLength, bConfirm, bCancel);
}
void cZip::RaiseCommentRequest(std::string &sComment, bool &bCancel) {
    if (listener_) listener_->CommentRequest(sComment, bCancel);
}
void cZip::RaiseCancel(const std::string &sMsg, bool &bCancel) {
    if (listener_) listener_->Cancel(sMsg, bCancel);
}
