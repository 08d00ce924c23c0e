#include "Progress.h"

namespace tesk {

int Percent(uint64_t done, uint64_t total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    // Sizes can reach 2^64: divide first where the product would overflow.
    const uint64_t percent = total > UINT64_MAX / 100 ? done / (total / 100) : done * 100 / total;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

int TenthsPassed(uint64_t before, uint64_t after, uint64_t total) {
    if (total == 0 || after <= before) return 0;
    auto tenths = [total](uint64_t done) {
        const int p = Percent(done, total);
        return p >= 100 ? 9 : p / 10;  // 100% is the entry's end, not a tenth passed
    };
    return tenths(after) - tenths(before);
}

}  // namespace tesk
