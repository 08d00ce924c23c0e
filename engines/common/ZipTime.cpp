#include "ZipTime.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <unordered_map>

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
    // mktime reads the zone file's status on every call (a stat per entry of an archive),
    // so the start of each hour is converted once and minutes and seconds are added. The
    // cache lives a few seconds, so a change of the zone is seen by the next run.
    struct Hour {
        int year, month, day, hour;
        bool operator==(const Hour &) const = default;
    };
    struct HourHash {
        size_t operator()(const Hour &h) const {
            return std::hash<int64_t>()(((int64_t{h.year} * 16 + h.month) * 32 + h.day) * 32 + h.hour);
        }
    };
    static thread_local std::unordered_map<Hour, int64_t, HourHash> hours;
    static thread_local auto filled = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    if (now - filled > std::chrono::seconds(5)) {
        hours.clear();
        filled = now;
    }
    const Hour key{time.year, time.month, time.day, time.hour};
    auto found = hours.find(key);
    if (found == hours.end()) {
        if (hours.size() >= 4096) hours.clear();
        std::tm tm{};
        tm.tm_year = time.year - 1900;
        tm.tm_mon = time.month - 1;
        tm.tm_mday = time.day;
        tm.tm_hour = time.hour;
        tm.tm_isdst = -1;
        found = hours.emplace(key, static_cast<int64_t>(std::mktime(&tm))).first;
    }
    return found->second + time.minute * 60 + time.second;
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
