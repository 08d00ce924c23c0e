#include "dos_time.h"

namespace tesk {

uint32_t ToDosDateTime(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return (0u << 9 | 1u << 5 | 1u) << 16;
    int year = tm.tm_year + 1900;
    if (year < 1980) return (0u << 9 | 1u << 5 | 1u) << 16;
    if (year > 2107) return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    const uint32_t date = static_cast<uint32_t>(year - 1980) << 9 |
                          static_cast<uint32_t>(tm.tm_mon + 1) << 5 |
                          static_cast<uint32_t>(tm.tm_mday);
    const uint32_t time = static_cast<uint32_t>(tm.tm_hour) << 11 |
                          static_cast<uint32_t>(tm.tm_min) << 5 |
                          static_cast<uint32_t>(tm.tm_sec / 2);
    return date << 16 | time;
}

std::time_t FromDosDateTime(uint32_t dos) {
    const uint32_t date = dos >> 16, time = dos & 0xFFFF;
    std::tm tm{};
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace tesk
