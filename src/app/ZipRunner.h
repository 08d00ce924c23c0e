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
// straight into zipFile. More is written in several runs into a partial archive beside
// zipFile (the later runs append to it), named "<zipFile>.tesk-part-<process id>", that is
// renamed over zipFile at the end; partial archives of processes that no longer exist are
// removed first, so a job killed part way leaves nothing after the next. AllowAppend is
// false again afterwards. A run that fails leaves no partial archive and an existing zipFile
// unchanged; a run that leaves out files it names (ZP_ERR_READ) goes on as one run would,
// and the archive of the rest is written. A run whose file specifications match no file
// adds nothing and does not fail the whole unless no run matched anything. Over several
// runs the progress lines and the closing "total: ..." line count the whole job. Returns
// whether the archive was written with everything chosen. Errors raised by zip pass through
// after the partial archive is removed. UI thread only.
bool ZipInRuns(cZip &zip, const std::vector<ZipGroup> &groups, const std::string &zipFile,
               size_t maxPerRun = kMaxSpecsPerRun);
