#include "LineEnds.h"

#include <cstring>

namespace tesk::zip {
namespace {

// Calls emit(byte) for each output byte of the conversion.
template <typename Emit>
void Convert(LineEnds mode, const uint8_t *data, std::size_t size, int before, int after,
             Emit &&emit) {
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        if (mode == LineEnds::CrLfToLf && c == '\r') {
            const int next = i + 1 < size ? data[i + 1] : after;
            if (next == '\n') continue;
        } else if (mode == LineEnds::LfToCrLf && c == '\n') {
            const int previous = i > 0 ? data[i - 1] : before;
            if (previous != '\r') emit('\r');
        }
        emit(c);
    }
}

}  // namespace

bool LooksLikeText(const uint8_t *data, std::size_t size) {
    return std::memchr(data, 0, size) == nullptr;
}

void ConvertLineEnds(LineEnds mode, const uint8_t *data, std::size_t size, int before, int after,
                     std::vector<uint8_t> &out) {
    if (mode == LineEnds::Keep) {
        out.insert(out.end(), data, data + size);
        return;
    }
    out.reserve(out.size() + size + size / 16);
    Convert(mode, data, size, before, after, [&out](uint8_t c) { out.push_back(c); });
}

std::size_t ConvertedLength(LineEnds mode, const uint8_t *data, std::size_t size, int before,
                            int after) {
    if (mode == LineEnds::Keep) return size;
    std::size_t n = 0;
    Convert(mode, data, size, before, after, [&n](uint8_t) { ++n; });
    return n;
}

}  // namespace tesk::zip
