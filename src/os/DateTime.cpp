#include "DateTime.h"

#include <platform/clock.h>

namespace os {

namespace {

DateTime from_local(platform::LocalTime const& t)
{
    return DateTime { t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.weekday };
}

platform::LocalTime to_local(DateTime const& t)
{
    return platform::LocalTime { t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.day_of_week };
}

} // namespace

DateTime DateTime::now()
{
    return from_local(platform::local_now());
}

DateTime DateTime::from_unix_ms(int64_t ms)
{
    return from_local(platform::to_local(ms));
}

core::String date_text(DateTime const& time, bool long_form)
{
    return platform::format_date(to_local(time), long_form);
}

core::String time_text(DateTime const& time)
{
    return platform::format_time(to_local(time));
}

} // namespace os
