// What the entry sources of one run share with the run: messages, the stop request,
// the first failure, the losses and the totals. Caller's thread only.
#pragma once

#include "CompressionScheduler.h"
#include "EntryData.h"
#include "Reporter.h"
#include "RunProgress.h"
#include "vbzip11.h"

#include <cstdint>

namespace tesk::zip {

struct RunTotals {
    int added = 0, updated = 0, deleted = 0;
    uint64_t bytesIn = 0, bytesOut = 0;
};

struct RunContext {
    RunContext(const Reporter &r, ZpServiceCallback s, CompressionScheduler &c, Losses &l)
        : reporter(r),
          service(s),
          scheduler(c),
          progress(r.clock(), [&r](const std::string &line) { r.Progress(line); }),
          losses(l) {}

    // Keeps the first failure and reports it; later ones follow from it.
    void Fail(const Failure &f) {
        if (failure.code != 0) return;
        failure = f;
        reporter.Error(f.message);
    }

    const Reporter &reporter;
    ZpServiceCallback service;
    CompressionScheduler &scheduler;
    RunProgress progress;
    Failure failure;
    RunTotals totals;
    Losses &losses;
};

}  // namespace tesk::zip
