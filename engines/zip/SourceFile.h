// Reading source files on worker threads.
#pragma once

#include "EntryData.h"

#include <cstdint>
#include <vector>

namespace tesk::zip {

// Opens a regular file for reading without blocking on special files; -1 on failure.
int OpenSourceFile(const std::string &path, Failure &failure);

// Reads from fd at offset until len bytes or the end of the file; appends to out.
bool ReadAt(int fd, const std::string &path, uint64_t offset, uint64_t len,
            std::vector<uint8_t> &out, Failure &failure);

// Reads the whole file.
bool ReadWhole(const std::string &path, std::vector<uint8_t> &out, Failure &failure);

}  // namespace tesk::zip
