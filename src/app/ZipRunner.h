// Writing one archive from any number of file specifications, although the zip engine
// takes at most 1023 per run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class cZip;

inline constexpr size_t kMaxSpecsPerRun = 1023;

// Replaces zip's file specifications with specs and writes zipFile with zip's other options.
// Up to maxPerRun file specifications make one run straight into zipFile. More are written in
// several runs into a temporary archive beside zipFile (the later runs append to it) that
// is renamed over zipFile only when every run succeeded; AllowAppend is false again
// afterwards. Either way a failure leaves no partial archive and an existing zipFile
// unchanged. A run whose file specifications match no file adds nothing and does not fail the
// whole unless no run matched anything. Returns whether the archive was written. Errors raised by zip pass through
// after the temporary archive is removed. UI thread only.
bool ZipInRuns(cZip &zip, const std::vector<std::string> &specs, const std::string &zipFile,
               size_t maxPerRun = kMaxSpecsPerRun);

