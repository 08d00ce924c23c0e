// cZip: builds, updates and prunes zip archives through the zip engine.
//
// Used from one thread only. Events are raised synchronously to the one listener while
// Zip() or Delete() runs; by-reference parameters are read back when the listener
// returns, and an unanswered event leaves the values on entry standing.
#pragma once

#include "vbzip11.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class cZipEvents {
public:
    virtual ~cZipEvents() = default;
    // 1: a notice of the engine (the entry about to be stored); bCancel stops the run.
    virtual void Cancel(const std::string &/*sMsg*/, bool &/*bCancel*/) {}
    // 2: the engine needs the password; bConfirm is true once a password was given in
    // this run.
    virtual void PasswordRequest(std::string &/*sPassword*/, int32_t /*lMaxPasswordLength*/,
                                 bool /*bConfirm*/, bool &/*bCancel*/) {}
    // 3: the engine needs the archive comment.
    virtual void CommentRequest(std::string &/*sComment*/, bool &/*bCancel*/) {}
    // 4: an engine message; lCount is always 1.
    virtual void Progress(int32_t /*lCount*/, const std::string &/*sMsg*/) {}
};

class cZip {
public:
    cZip();
    cZip(const cZip &) = delete;
    cZip &operator=(const cZip &) = delete;

    void SetListener(cZipEvents *listener) { listener_ = listener; }
    cZipEvents *Listener() const { return listener_; }

    int16_t CompressionLevel() const;
    void CompressionLevel(int16_t CLevel);
    std::string ZipFile() const;
    void ZipFile(const std::string &sFileName);
    std::string BasePath() const;
    void BasePath(const std::string &sBasePath);
    bool Encrypt() const;
    void Encrypt(bool bState);
    bool AddComment() const;
    void AddComment(bool bState);
    bool IncludeSystemAndHiddenFiles() const;
    void IncludeSystemAndHiddenFiles(bool bState);
    bool StoreVolumeLabel() const;
    void StoreVolumeLabel(bool bState);
    bool StoreDirectories() const;
    void StoreDirectories(bool bState);
    bool StoreFolderNames() const;
    void StoreFolderNames(bool bState);
    bool RecurseSubDirs() const;
    void RecurseSubDirs(bool bState);
    bool UpdateOnlyIfNewer() const;
    void UpdateOnlyIfNewer(bool bState);
    bool FreshenFiles() const;
    void FreshenFiles(bool bState);
    int32_t MessageLevel() const;
    void MessageLevel(int32_t eLevel);
    bool ConvertCRLFToLF() const;
    void ConvertCRLFToLF(bool bState);
    bool ConvertLFToCRLF() const;
    void ConvertLFToCRLF(bool bState);

    void ClearFileSpecs();
    int32_t AddFileSpec(const std::string &sSpec);
    int32_t FileSpecCount() const;
    // File specifications are numbered from 1; an index outside raises TeskError 9.
    std::string FileSpec(int32_t nIndex) const;

    bool AllowAppend() const;
    void AllowAppend(bool bState);

    // Builds or updates ZipFile from the file specifications. Errors of the call itself (no
    // engine, a missing base folder, 1024 file specifications or more) are raised.
    void Zip();
    // True when the last Zip's engine result was 0.
    bool Success() const;
    int32_t LastResult() const { return lastResult_; }
    // Removes the entries named by the file specifications; Success is not changed.
    void Delete();

    // Called by the engine module (mZip) only.
    ZipOptions &Options() { return options_; }
    const std::vector<std::string> &FileSpecs() const { return specs_; }
    bool HasZipFile() const { return zipFileSet_; }
    // Takes back the base folder the engine left in its copy of the record (null: none).
    void TakeEngineBasePath(const char *rootDir);
    void RaiseProgress(const std::string &sMsg);
    void RaisePasswordRequest(std::string &sPassword, int32_t lMaxPasswordLength,
                              bool bConfirm, bool &bCancel);
    void RaiseCommentRequest(std::string &sComment, bool &bCancel);
    void RaiseCancel(const std::string &sMsg, bool &bCancel);

private:
    ZipOptions options_{};
    std::optional<std::string> basePath_;  // the RootDir text; absent until written
    std::string zipFile_;
    bool zipFileSet_ = false;
    std::vector<std::string> specs_;
    int32_t lastResult_ = 0;
    int16_t compressionLevel_ = 9;
    cZipEvents *listener_ = nullptr;
};
