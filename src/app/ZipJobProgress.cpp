#include "ZipJobProgress.h"

#include <algorithm>
#include <cstdio>

ZipJobProgress::ZipJobProgress(cZip &zip, std::vector<Amount> expected)
    : zip_(zip), listener_(zip.Listener()), expected_(std::move(expected)) {
    for (const Amount &a : expected_) {
        all_.entries += a.entries;
        all_.bytes += a.bytes;
    }
    zip_.SetListener(this);
}

ZipJobProgress::~ZipJobProgress() { zip_.SetListener(listener_); }

void ZipJobProgress::RunEnded() {
    if (run_ >= expected_.size()) return;
    before_.entries += expected_[run_].entries;
    before_.bytes += expected_[run_].bytes;
    ++run_;
}

void ZipJobProgress::SendTotal() {
    Send("total: " + std::to_string(totals_[0]) + " added, " + std::to_string(totals_[1]) +
         " updated, " + std::to_string(totals_[2]) + " bytes in, " + std::to_string(totals_[3]) +
         " bytes out");
}

void ZipJobProgress::Send(const std::string &text) {
    if (listener_) listener_->Progress(1, text);
}

void ZipJobProgress::Progress(int32_t, const std::string &sMsg) {
    unsigned long long n[4];
    int percent = 0, end = 0;
    if (std::sscanf(sMsg.c_str(), "total: %llu added, %llu updated, %llu bytes in, %llu bytes out%n",
                    &n[0], &n[1], &n[2], &n[3], &end) == 4 &&
        static_cast<size_t>(end) == sMsg.size()) {
        for (int i = 0; i < 4; ++i) totals_[i] += n[i];
        return;
    }
    if (std::sscanf(sMsg.c_str(), "  %llu of %llu entries (%d%%)%n", &n[0], &n[1], &percent,
                    &end) == 3 &&
        static_cast<size_t>(end) == sMsg.size() && run_ < expected_.size()) {
        const uint64_t done = before_.entries + n[0];
        const uint64_t total = std::max<uint64_t>(all_.entries, done);
        uint64_t share = total ? done * 100 / total : 100;
        if (all_.bytes > 0)
            share = (before_.bytes + expected_[run_].bytes * static_cast<uint64_t>(percent) / 100) *
                    100 / all_.bytes;
        Send("  " + std::to_string(done) + " of " + std::to_string(total) + " entries (" +
             std::to_string(std::min<uint64_t>(share, 100)) + "%)");
        return;
    }
    Send(sMsg);
}

void ZipJobProgress::Cancel(const std::string &sMsg, bool &bCancel) {
    if (listener_) listener_->Cancel(sMsg, bCancel);
}
void ZipJobProgress::PasswordRequest(std::string &sPassword, int32_t lMaxPasswordLength,
                                     bool bConfirm, bool &bCancel) {
    if (listener_) listener_->PasswordRequest(sPassword, lMaxPasswordLength, bConfirm, bCancel);
}
void ZipJobProgress::CommentRequest(std::string &sComment, bool &bCancel) {
    if (listener_) listener_->CommentRequest(sComment, bCancel);
}
