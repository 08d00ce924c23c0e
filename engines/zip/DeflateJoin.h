// Joining independently compressed chunks into one deflate stream.
#pragma once

#include <cstdint>
#include <vector>

namespace tesk::zip {

// Turns a complete raw deflate stream into one that goes on: walks its blocks to the final
// one, clears that block's BFINAL bit and appends an empty stored block, which ends on a
// byte boundary. Chunks made so, followed by one complete stream, concatenate into one
// valid stream (each chunk compressed without the others' history, as parallel gzip tools
// do). Returns false, leaving stream as it was, when the data is not one well-formed deflate
// stream filling the buffer exactly.
bool MakeJoinable(std::vector<uint8_t> &stream);

}  // namespace tesk::zip
