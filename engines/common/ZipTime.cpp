#include "ZipTime.h"

#include <ctime>

namespace tesk {

CalendarTime CalendarFromDos(uint16_t dosDate, uint16_t dosTime) {
    CalendarTime t;
    t.year = 1980 + (dosDate >> 9);
    t.month = (dosDate >> 5) & 0x0F;
    t.day = dosDate & 0x1F;
    t.hour = dosTime >> 11;
    t.minute = (dosTime >> 5) & 0x3F;
    t.second = (dosTime & 0x1F) * 2;
    return t;
}

CalendarTime LocalCalendarFromUnix(int64_t seconds) {
    const auto value = static_cast<std::time_t>(seconds);
    std::tm tm{};
    CalendarTime t;
    if (!localtime_r(&value, &tm)) return t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

int64_t UnixFromLocalCalendar(const CalendarTime &time) {
    std::tm tm{};
    tm.tm_year = time.year - 1900;
    tm.tm_mon = time.month - 1;
    tm.tm_mday = time.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    tm.tm_sec = time.second;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

uint32_t DosDateTimeFromUnix(int64_t seconds) {
    const CalendarTime t = LocalCalendarFromUnix(seconds);
    if (t.year < 1980) return (1u << 5 | 1u) << 16;
    if (t.year > 2107) return (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
    const uint32_t date = static_cast<uint32_t>(t.year - 1980) << 9 |
                          static_cast<uint32_t>(t.month) << 5 | static_cast<uint32_t>(t.day);
    const uint32_t time = static_cast<uint32_t>(t.hour) << 11 |
                          static_cast<uint32_t>(t.minute) << 5 |
                          static_cast<uint32_t>(t.second / 2);
    return date << 16 | time;
}

}  // namespace tesk
