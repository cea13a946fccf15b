#pragma once

#include <cstdint>
#include <string>

// Local calendar time and the user's locale formats for dates and times.
namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0; // 1-12
    int day = 0; // 1-31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 0; // 0 = Sunday
};

LocalTime local_now();
// Milliseconds since 1970 (UTC) as local calendar time.
LocalTime to_local(int64_t unix_ms);

// The locale's date format (long: weekday, day, month name and year; short: the locale's numeric date)
// and time format with seconds, from the environment's LC_TIME.
std::u16string format_date(LocalTime const& time, bool long_form);
std::u16string format_time(LocalTime const& time);

} // namespace platform
