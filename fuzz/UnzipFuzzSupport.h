// What the unzip engine's fuzz targets share: a scratch folder per process, the engine
// called through its C interface with callbacks that answer everything, and the check
// that an extraction stayed inside its destination.
#pragma once

#include "vbuzip10.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace unzipfuzz {

// A folder of this process's own (on a memory file system when there is one), made on
// first use and removed at exit.
const std::string &ScratchFolder();

// Writes the bytes to path, replacing it; aborts when that fails.
void WriteBytes(const std::string &path, const uint8_t *data, size_t size);

// Calls Wiz_SingleEntryUnzip with every callback set: passwords "secret" then none,
// every replace answered yes, names and texts read in full.
int32_t CallEngine(UnzipOptions options);

// Prints the reason and aborts, which the fuzzer records as a crash.
[[noreturn]] void Fault(const std::string &reason);

}  // namespace unzipfuzz
