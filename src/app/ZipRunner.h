// Writing one archive from any number of file specifications, in groups with their own base
// folder, although the zip engine takes one base and at most 1023 file specs per run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class cZip;

inline constexpr size_t kMaxSpecsPerRun = 1023;

// File specifications that share a base folder and the storing of folder names.
struct ZipGroup {
    std::string basePath;
    bool storeFolderNames = false;
    std::vector<std::string> specs;
};

// Writes zipFile from the groups' file specifications with zip's other options; replaces
// zip's file specifications, base folder and folder-name storing. What fits one run goes
// straight into zipFile. More is written in several runs into a temporary archive beside
// zipFile (the later runs append to it) that is renamed over zipFile only when every run
// succeeded; AllowAppend is false again afterwards. Either way a failure leaves no partial
// archive and an existing zipFile unchanged. A run whose file specifications match no file
// adds nothing and does not fail the whole unless no run matched anything. Over several
// runs the progress lines and the closing "total: ..." line count the whole job. Returns
// whether the archive was written. Errors raised by zip pass through after the temporary
// archive is removed. UI thread only.
bool ZipInRuns(cZip &zip, const std::vector<ZipGroup> &groups, const std::string &zipFile,
               size_t maxPerRun = kMaxSpecsPerRun);
