// Timestamps of zip entries: DOS date/time fields (local time, 2-second steps) and Unix
// seconds from the extended-timestamp field.
#pragma once

#include <cstdint>

namespace tesk {

struct CalendarTime {
    int year = 1980;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The fields as stored; out-of-range values (month 0, second 62) are passed on unchanged.
CalendarTime CalendarFromDos(uint16_t dosDate, uint16_t dosTime);

// Local calendar time of Unix seconds.
CalendarTime LocalCalendarFromUnix(int64_t seconds);

// Unix seconds of a local calendar time (daylight saving time as the zone says).
int64_t UnixFromLocalCalendar(const CalendarTime &time);

// The DOS date and time of Unix seconds, packed as date << 16 | time so that later moments
// compare greater. Seconds round down to an even number; moments before 1980 become
// 1980-01-01 00:00, after 2107 the last moment DOS can hold.
uint32_t DosDateTimeFromUnix(int64_t seconds);

}  // namespace tesk
