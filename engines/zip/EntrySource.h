// The libzip source of one new or replaced entry. It hands libzip precompressed data
// (zip_close writes it unchanged), asks the service callback before the entry is written
// and reports the entry when it is done.
#pragma once

#include "EntryData.h"
#include "RunContext.h"

#include <ctime>
#include <memory>
#include <string>
#include <zip.h>

namespace tesk::zip {

struct EntryInfo {
    std::string name;
    uint64_t size = 0;        // of the file, as found
    std::time_t mtime = 0;
    bool replacing = false;
    zip_t *archive = nullptr;
    zip_uint64_t index = 0;   // set once the entry was added
};

class EntrySource final : EntryObserver {
public:
    // Returns the source, owned by libzip from then on (it frees this object with it).
    // Null on failure; nothing is leaked.
    static zip_source_t *Create(RunContext &context, std::unique_ptr<EntryData> data,
                                EntryInfo &&info, EntrySource **self);

    EntryInfo &Info() { return info_; }
    EntryData &Data() { return *data_; }

private:
    EntrySource(RunContext &context, std::unique_ptr<EntryData> data, EntryInfo &&info);
    static zip_int64_t Callback(void *self, void *data, zip_uint64_t len, zip_source_cmd_t cmd);
    zip_int64_t Handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd);
    zip_int64_t Stat(zip_stat_t *st);
    zip_int64_t Open();
    zip_int64_t Read(void *buffer, zip_uint64_t len);
    void Close();
    zip_int64_t Fail(const Failure &failure, int zipError);
    void Waiting() override;
    void Advanced(uint64_t done) override;

    RunContext &context_;
    std::unique_ptr<EntryData> data_;
    EntryInfo info_;
    zip_error_t error_;
    bool haveHeader_ = false;
    EntryHeader header_;
    bool opened_ = false, readDone_ = false, methodSet_ = false;
};

}  // namespace tesk::zip
