// Drives the zip engine through its C entry points, records what its callbacks saw, and
// inspects the archives it makes with independent tools.
#pragma once

#include "TestSupport.h"
#include "vbzip11.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zipharness {

using testsupport::NamesIn;
using testsupport::RunPython;
using testsupport::TempDir;

// What the callbacks answer and what they saw during a run.
struct Script {
    std::string password = "secret";
    bool refusePassword = false;
    std::string comment = "a comment";
    bool refuseComment = false;
    std::string stopAt;  // the service callback answers 1 for this name
    // Runs inside the service callback with the entry's name.
    std::function<void(const std::string &)> onService;

    std::vector<std::string> messages;
    std::vector<std::string> serviceNames;
    int passwordCalls = 0;
    int passwordBufferSize = 0;
    bool passwordBufferZeroed = true;
    bool foreignThread = false;

    std::string AllMessages() const;
};

// One entry as python's zipfile sees it.
struct EntryInfo {
    int method = -1;
    int flags = 0;
    unsigned long externalAttr = 0;
    std::string dateTime;  // "YYYY-MM-DD HH:MM:SS" from the DOS fields
    long long utMtime = -1;  // from the 0x5455 extra field, -1 when absent
    long long size = 0;
};

class ZipEngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Options with RootDir = the temp folder and LevelChar '6'.
    ZipOptions Options();
    int32_t Zip(const std::string &archive, const std::vector<std::string> &specs,
                const ZipOptions &options);
    int32_t Zip(const std::vector<std::string> &specs, const ZipOptions &options) {
        return Zip(Archive(), specs, options);
    }

    // Zip as a user whom file modes bind: root runs it in a child process without the
    // capabilities that let it pass them; the messages come back to script_.
    int32_t ZipBoundByModes(const std::vector<std::string> &specs, const ZipOptions &options);

    std::string Path(const std::string &relative) const { return dir_ / relative; }
    std::string Archive() const { return Path("out.zip"); }

    // Entry names in archive order, through python's zipfile.
    std::vector<std::string> Names(const std::string &archive);
    std::vector<std::string> Names() { return Names(Archive()); }
    std::map<std::string, EntryInfo> Infos(const std::string &archive);
    // One entry's content; password may be empty.
    std::string Read(const std::string &archive, const std::string &name,
                     const std::string &password = "");
    // unzip -t, 7zz t and zipfile's testzip all accept the archive.
    void ExpectValid(const std::string &archive, const std::string &password = "");

    TempDir dir_;
    Script script_;
    std::string rootDir_;
};

// Sets a file's modification time (seconds since the epoch).
void SetMtime(const std::string &path, long long seconds);

}  // namespace zipharness
