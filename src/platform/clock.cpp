#include "clock.h"

#include "text.h"

#include <chrono>
#include <clocale>
#include <ctime>
#include <locale.h>

namespace platform {

namespace {

LocalTime from_tm(struct tm const& t, int millisecond)
{
    return LocalTime { t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, millisecond,
        t.tm_wday };
}

struct tm to_tm(LocalTime const& time)
{
    struct tm t { };
    t.tm_year = time.year - 1900;
    t.tm_mon = time.month - 1;
    t.tm_mday = time.day;
    t.tm_hour = time.hour;
    t.tm_min = time.minute;
    t.tm_sec = time.second;
    t.tm_wday = time.weekday;
    t.tm_isdst = -1;
    return t;
}

locale_t user_locale()
{
    static locale_t const locale = [] {
        locale_t l = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", nullptr);
        return l ? l : newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C.UTF-8", nullptr);
    }();
    return locale;
}

std::u16string format(LocalTime const& time, char const* pattern)
{
    struct tm t = to_tm(time);
    char buffer[128];
    size_t n = user_locale() ? strftime_l(buffer, sizeof buffer, pattern, &t, user_locale())
                             : strftime(buffer, sizeof buffer, pattern, &t);
    return from_utf8(std::string(buffer, n));
}

} // namespace

LocalTime local_now()
{
    auto const now = std::chrono::system_clock::now();
    auto const ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    return to_local(ms);
}

LocalTime to_local(int64_t unix_ms)
{
    time_t seconds = static_cast<time_t>(unix_ms / 1000);
    int ms = static_cast<int>(unix_ms % 1000);
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    struct tm t { };
    localtime_r(&seconds, &t);
    return from_tm(t, ms);
}

std::u16string format_date(LocalTime const& time, bool long_form)
{
    // glibc has no long date format of its own: weekday, day, month name and year in the locale's words.
    return format(time, long_form ? "%A, %-d %B %Y" : "%x");
}

std::u16string format_time(LocalTime const& time)
{
    return format(time, "%X");
}

} // namespace platform
