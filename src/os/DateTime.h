#pragma once

#include <core/Strings.h>

#include <compare>
#include <cstdint>
#include <tuple>

namespace os {

// A local calendar date and time to the millisecond.
struct DateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int day_of_week = 0; // 0 = Sunday; not part of the order

    static DateTime now();
    // Milliseconds since 1970 (UTC), in local time.
    static DateTime from_unix_ms(int64_t ms);

    auto key() const { return std::tuple(year, month, day, hour, minute, second, millisecond); }
    friend bool operator==(DateTime const& a, DateTime const& b) { return a.key() == b.key(); }
    friend auto operator<=>(DateTime const& a, DateTime const& b) { return a.key() <=> b.key(); }
};

// The user's locale date, long or short form.
core::String date_text(DateTime const& time, bool long_form);
// The user's locale time with seconds.
core::String time_text(DateTime const& time);

} // namespace os
