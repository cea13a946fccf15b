#include "ScreenTexts.h"

#include <algorithm>
#include <cmath>
#include <document/RecordInfo.h>
#include <os/Paths.h>

namespace screens {

core::String two_digits(int64_t value)
{
    core::String const text = core::decimal(value);
    if (text.size() == 1)
        return u"0" + text;
    return text.substr(text.size() - 2);
}

core::String duration_text(double seconds, core::StringView hours)
{
    // Beyond this the hours are shown as they are, and the cast stays defined.
    constexpr double MOST = 1e15;
    int64_t const s = seconds > 0 ? static_cast<int64_t>(std::min(seconds, MOST)) : 0;
    int64_t const h = s / 3600;
    int64_t const m = (s - 3600 * h) / 60;
    if (h >= 10)
        return core::decimal(h) + u" " + core::String(hours);
    return core::decimal(h) + u":" + two_digits(m) + u":" + two_digits(s % 60);
}

double seconds_left(double free_bytes, int32_t bit_rate)
{
    if (bit_rate <= 0 || !(free_bytes > 0))
        return 0;
    return free_bytes / bit_rate * 8;
}

double slider_value(int32_t x, int32_t left, int32_t width)
{
    if (width < 1)
        return 0;
    return std::clamp(static_cast<double>(x - left) / width, 0.0, 1.0);
}

core::StringView row_icon_name(core::StringView path, core::StringView album, core::StringView documents)
{
    bool const main = os::is_under(documents, path);
    if (album == document::INCOMING_ALBUM)
        return main ? u"main_memory_incoming" : u"card_incoming";
    if (album == document::OUTGOING_ALBUM)
        return main ? u"main_memory_outgoing" : u"card_outgoing";
    return main ? u"main_memory" : u"card";
}

} // namespace screens
