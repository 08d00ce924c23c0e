// MS-DOS date and time as zip headers store them: local time in 2-second steps.
#pragma once

#include <cstdint>
#include <ctime>

namespace tesk {

// Packed as date << 16 | time, so later moments compare greater. Seconds are rounded down
// to an even number; years before 1980 become 1980-01-01 00:00, after 2107 the last moment.
uint32_t ToDosDateTime(std::time_t t);

// The moment a packed DOS date and time names, in local time.
std::time_t FromDosDateTime(uint32_t dos);

}  // namespace tesk
