// Line-end conversion of text files. A file is text when it holds no NUL byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesk::zip {

enum class LineEnds { Keep, CrLfToLf, LfToCrLf };

bool LooksLikeText(const uint8_t *data, std::size_t size);

// Converts data[0, size) and appends the result to out. before is the byte preceding the
// range and after the byte following it (-1 at the file's ends), so that a file cut into
// ranges converts exactly as the whole: CR LF loses its CR, and LF gains one when the byte
// before it is not already a CR.
void ConvertLineEnds(LineEnds mode, const uint8_t *data, std::size_t size, int before, int after,
                     std::vector<uint8_t> &out);

// The length ConvertLineEnds would give.
std::size_t ConvertedLength(LineEnds mode, const uint8_t *data, std::size_t size, int before,
                            int after);

}  // namespace tesk::zip
