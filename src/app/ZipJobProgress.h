// The zip object's messages during a job of several engine runs, made to speak of the
// whole job: each run's "N of M entries (P%)" line counts the runs before it and the total
// expected, and the runs' own "total: ..." lines are held back and summed into one, sent
// when the job has succeeded. Other messages and events pass through unchanged.
#pragma once

#include "cZip.h"

#include <cstdint>
#include <string>
#include <vector>

class ZipJobProgress : public cZipEvents {
public:
    struct Amount {
        uint64_t entries = 0;
        uint64_t bytes = 0;
    };

    // Stands between zip and its listener while alive. expected: per run, what it should add.
    ZipJobProgress(cZip &zip, std::vector<Amount> expected);
    ~ZipJobProgress() override;
    ZipJobProgress(const ZipJobProgress &) = delete;
    ZipJobProgress &operator=(const ZipJobProgress &) = delete;

    void RunEnded();
    void SendTotal();

    void Cancel(const std::string &sMsg, bool &bCancel) override;
    void PasswordRequest(std::string &sPassword, int32_t lMaxPasswordLength, bool bConfirm,
                         bool &bCancel) override;
    void CommentRequest(std::string &sComment, bool &bCancel) override;
    void Progress(int32_t lCount, const std::string &sMsg) override;

private:
    void Send(const std::string &text);

    cZip &zip_;
    cZipEvents *listener_;
    std::vector<Amount> expected_;
    Amount all_;         // expected of the whole job
    Amount before_;      // expected of the runs that ended
    size_t run_ = 0;
    // Sums of the runs' totals: added, updated, bytes in, bytes out.
    uint64_t totals_[4] = {};
};
