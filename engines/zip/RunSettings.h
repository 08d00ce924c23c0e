// One run's settings, read from the option record, the archive name and the name table.
#pragma once

#include "LineEnds.h"
#include "Reporter.h"
#include "vbzip11.h"

#include <string>
#include <vector>

namespace tesk::zip {

enum class RunMode { New, Append, Update, Freshen, Delete };

struct RunSettings {
    RunMode mode = RunMode::New;
    int level = 6;                   // 0 stores, 1..9 deflate
    LineEnds lineEnds = LineEnds::Keep;
    MessageLevel messages = MessageLevel::Normal;
    bool encrypt = false, comment = false;
    bool recurse = false, noDirEntries = false, junkDirNames = false;
    std::string base;                // absolute folder of relative file specifications
    std::string archive;             // the archive's path
    std::vector<std::string> specs;  // non-empty file specifications
};

// Delete wins over Freshen, Freshen over Update, Update over Append. A LevelChar other
// than '0'..'9' means 6. CRLFToLF wins over LFToCRLF. Quiet wins over Verbose.
RunSettings ReadSettings(const ZipOptions &options, const char *rootDir, const char *zipFile,
                         int32_t count, const char *const *names);

// The level a LevelChar stands for.
int LevelOf(char levelChar);

}  // namespace tesk::zip
