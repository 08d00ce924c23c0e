// cUnzip: lists and extracts one zip archive through the unzip engine.
//
// Used from one thread only. Events are raised synchronously to the one listener while
// Directory() or Unzip() runs; by-reference parameters are read back when the listener
// returns, and an unanswered event leaves the values on entry standing.
#pragma once

#include "vbuzip10.h"

#include <cstdint>
#include <string>
#include <vector>

class cUnzipEvents {
public:
    virtual ~cUnzipEvents() = default;
    // 1: before each entry; setting bCancel asks the engine to stop.
    virtual void Cancel(const std::string &/*sMsg*/, bool &/*bCancel*/) {}
    // 2: before an existing file is replaced; eResponse is 100 on entry (see UZ_REPLACE_*).
    virtual void OverwritePrompt(const std::string &/*sFile*/, int32_t &/*eResponse*/) {}
    // 3: for an encrypted entry.
    virtual void PasswordRequest(std::string &/*sPassword*/, bool &/*bCancel*/) {}
    // 4: an engine message; lCount is always 1.
    virtual void Progress(int32_t /*lCount*/, const std::string &/*sMsg*/) {}
};

struct ArchiveEntry {
    std::string FileName;
    std::string FileDirectory;  // native separators; empty at the archive's root
    int64_t FileSize = 0;
    int64_t FileCompressedSize = 0;  // as the engine reports it
    int32_t FileCompressionRatio = 0;
    std::string FileCompressionMethod;
    double FileDate = 0;  // days since 30 December 1899, time of day as the fraction
    int32_t FileCRC = 0;
    bool FileEncrypted = false;
    bool FileSelected = true;
};

class cUnzip {
public:
    cUnzip();
    cUnzip(const cUnzip &) = delete;
    cUnzip &operator=(const cUnzip &) = delete;

    void SetListener(cUnzipEvents *listener) { listener_ = listener; }

    bool ExtractOnlyNewer() const;
    void ExtractOnlyNewer(bool bState);
    bool SpaceToUnderScore() const;
    void SpaceToUnderScore(bool bState);
    bool PromptToOverwrite() const;
    void PromptToOverwrite(bool bState);
    int32_t MessageLevel() const;
    void MessageLevel(int32_t eLevel);
    bool TestZip() const;
    void TestZip(bool bState);
    bool UseFolderNames() const;
    void UseFolderNames(bool bState);
    bool OverwriteExisting() const;
    void OverwriteExisting(bool bState);
    bool ConvertCRToCRLF() const;
    void ConvertCRToCRLF(bool bState);
    bool CaseSensitiveFileNames() const;
    void CaseSensitiveFileNames(bool bState);

    // Entries are numbered from 1 to FileCount(); an index outside raises TeskError 9.
    int32_t FileCount() const;
    std::string FileName(int32_t lIndex) const;
    std::string FileDirectory(int32_t lIndex) const;
    int64_t FileSize(int32_t lIndex) const;
    // FileSize x ratio / 100 toward zero; 0 for an index outside the list.
    int64_t FilePackedSize(int32_t lIndex) const;
    // The entry's true compressed size, as the engine reports it (FilePackedSize is only as
    // exact as the rounded ratio it comes from).
    int64_t FileCompressedSize(int32_t lIndex) const;
    int32_t FileCompressionRatio(int32_t lIndex) const;
    double FileDate(int32_t lIndex) const;
    int32_t FileCRC(int32_t lIndex) const;
    std::string FileCompressionMethod(int32_t lIndex) const;
    bool FileEncrypted(int32_t lIndex) const;
    bool FileSelected(int32_t lIndex) const;
    void FileSelected(int32_t lIndex, bool bState);

    // Appends the archive's entries to the list; returns the engine's result code.
    int32_t Directory();
    // Extracts the selected entries (all when every entry or none is listed). Returns true
    // when the engine reported a failure, that is a non-zero result, and false on success
    // or when no archive is set; LastResult() holds the engine's code.
    bool Unzip();
    int32_t LastResult() const { return lastResult_; }

    void UnzipFolder(const std::string &sFolder);
    std::string UnzipFolder() const;
    std::string ZipFile() const;
    // Also forgets the entries listed before.
    void ZipFile(const std::string &sFile);

    // dDate is left as the caller passed it.
    void GetVersion(int32_t &lMajor, int32_t &lMinor, int32_t &lRevision, double &dDate,
                    std::string &sExtraInfo);

    // Called by the engine module (mUnzip) only.
    void AddEntry(const std::string &name, const std::string &folder, double date,
                  int64_t size, int64_t compressedSize, int32_t crc, bool encrypted,
                  int32_t ratio, const std::string &method);
    void RaiseCancel(const std::string &sMsg, bool &bCancel);
    void RaiseOverwritePrompt(const std::string &sFile, int32_t &eResponse);
    void RaisePasswordRequest(std::string &sPassword, bool &bCancel);
    void RaiseProgress(const std::string &sMsg);

private:
    const ArchiveEntry &Entry(int32_t lIndex) const;

    std::string zipFile_;
    std::string unzipFolder_;
    bool zipFileSet_ = false;
    bool unzipFolderSet_ = false;
    std::vector<ArchiveEntry> entries_;
    UnzipOptions options_{};
    int32_t lastResult_ = 0;
    cUnzipEvents *listener_ = nullptr;
};
