#include "RowTexts.h"

#include "ScreenTexts.h"

#include <algorithm>
#include <cmath>
#include <document/RecordInfo.h>
#include <iterator>
#include <optional>

namespace screens {

namespace {

constexpr char16_t SEPARATOR[] = u" \u00B7 ";

bool is_call(document::RecordEntry const& entry)
{
    return entry.album == document::INCOMING_ALBUM || entry.album == document::OUTGOING_ALBUM;
}

// The value of one field of a date pattern ("%wd%"), or nothing when it is none.
std::optional<core::String> date_field(
    core::StringView field, os::DateTime const& t, lang::Dictionary const& words, Clock clock)
{
    if (field == u"%wd%")
        return words.translate(u"Day_" + core::decimal(t.day_of_week));
    if (field == u"%weekday%")
        return words.translate(u"DayName_" + core::decimal(t.day_of_week));
    if (field == u"%mon%")
        return words.translate(u"Month_" + core::decimal(t.month));
    if (field == u"%month%")
        return words.translate(u"MonthOf_" + core::decimal(t.month));
    if (field == u"%d%")
        return core::decimal(t.day);
    if (field == u"%year%")
        return core::decimal(t.year);
    if (field == u"%time%")
        return core::decimal(t.hour) + u":" + two_digits(t.minute)
            + (clock == Clock::SECONDS ? u":" + two_digits(t.second) : core::String());
    return std::nullopt;
}

// A date in the order the language writes it. One pass, so that a day or month name holding a "%" is
// never read as a field.
core::String fill_date(
    core::StringView pattern, os::DateTime const& t, lang::Dictionary const& words, Clock clock = Clock::MINUTES)
{
    core::String text;
    size_t at = 0;
    while (at < pattern.size()) {
        size_t const open = pattern.find(u'%', at);
        size_t const close = open == core::StringView::npos ? open : pattern.find(u'%', open + 1);
        if (close == core::StringView::npos) {
            text += pattern.substr(at);
            break;
        }
        text += pattern.substr(at, open - at);
        auto const value = date_field(pattern.substr(open, close + 1 - open), t, words, clock);
        if (!value) {
            // Not a field: the first sign stays as it is and the second may open one.
            text += u'%';
            at = open + 1;
            continue;
        }
        text += *value;
        at = close + 1;
    }
    return text;
}

// The language's pattern of a date; an empty one would make nameless recordings.
core::String date_pattern(lang::Dictionary const& words, core::StringView key, core::StringView fallback)
{
    core::String pattern = words.lookup(key, fallback);
    return pattern.empty() ? core::String(fallback) : pattern;
}

} // namespace

core::String short_date_time(os::DateTime const& t, lang::Dictionary const& words, Clock clock)
{
    return fill_date(date_pattern(words, u"Date_short", u"%wd% %d% %mon%, %time%"), t, words, clock);
}

bool same_minute(os::DateTime const& a, os::DateTime const& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

core::String length_text(int64_t ms)
{
    if (ms < 0)
        return {};
    int64_t const s = ms / 1000;
    if (s < 3600)
        return core::decimal(s / 60) + u":" + two_digits(s % 60);
    return core::decimal(s / 3600) + u":" + two_digits(s / 60 % 60) + u":" + two_digits(s % 60);
}

core::String long_date(os::DateTime const& t, lang::Dictionary const& words)
{
    return fill_date(date_pattern(words, u"Date_long", u"%weekday%, %d% %month% %year%"), t, words);
}

core::String date_name(os::DateTime const& t, lang::Dictionary const& words)
{
    return long_date(t, words) + u" " + core::decimal(t.hour) + u":" + two_digits(t.minute) + u":"
        + two_digits(t.second);
}

namespace {

// Named in another of the program's languages (the user has switched since): every one ends the name with
// the start's time to the second, " 10:44:12", and writes the year, which a name a person gives hardly does.
bool named_in_any_language(core::StringView title, os::DateTime const& t)
{
    size_t const colon = title.size() < 6 ? core::StringView::npos : title.size() - 6;
    auto digit = [&](size_t at) { return at < title.size() && title[at] >= u'0' && title[at] <= u'9'; };
    if (colon == core::StringView::npos || title[colon] != u':' || title[colon + 3] != u':' || !digit(colon + 1)
        || !digit(colon + 2) || !digit(colon + 4) || !digit(colon + 5))
        return false;
    size_t const space = title.rfind(u' ', colon);
    return space != core::StringView::npos && space + 1 < colon && colon - space <= 3
        && title.substr(0, space).find(core::decimal(t.year)) != core::StringView::npos;
}

} // namespace

bool is_date_name(document::RecordEntry const& entry, lang::Dictionary const& words)
{
    // Named in this language, in another one, or by the platform's locale before the language named
    // recordings.
    return entry.artist == document::RECORD_ALBUM
        && (entry.title.starts_with(long_date(entry.time, words))
            || entry.title.starts_with(os::date_text(entry.time, true))
            || named_in_any_language(entry.title, entry.time));
}

RowTexts row_texts(document::RecordEntry const& entry, lang::Dictionary const& words, Clock clock)
{
    RowTexts texts;
    core::String const when = short_date_time(entry.time, words, clock);
    texts.secondary = when;
    if (is_call(entry)) {
        texts.strong = entry.artist.empty() ? words.translate(u"Row_Withheld") : entry.artist;
    } else if (is_date_name(entry, words) || entry.title.empty()) {
        // The name already says when: the other line says what it is instead of saying it twice.
        texts.strong = when;
        texts.secondary = words.translate(u"Voice_note");
    } else {
        texts.strong = entry.title;
    }
    if (core::String const length = length_text(entry.duration_ms); !length.empty())
        texts.secondary += SEPARATOR + length;
    return texts;
}

core::String time_left_text(double seconds, lang::Dictionary const& words)
{
    constexpr double MOST_HOURS = 99;
    double const hours = seconds / 3600;
    if (hours > MOST_HOURS)
        return core::decimal(static_cast<int64_t>(std::min(hours / 24, 1e12))) + u" " + words.translate(u"Unit_days");
    if (hours >= 10)
        return core::decimal(static_cast<int64_t>(hours)) + u" " + words.translate(u"Unit_h");
    return duration_text(seconds, words.translate(u"Unit_h"));
}

document::FormatUnits format_units(lang::Dictionary const& words)
{
    return { words.lookup(u"Unit_kHz", u"kHz"), words.lookup(u"Unit_bit", u"bit"),
        words.lookup(u"Unit_kbps", u"kbps") };
}

core::String size_words(uint64_t bytes, lang::Dictionary const& words)
{
    if (bytes < 1024)
        return core::decimal(static_cast<int64_t>(bytes)) + u" " + words.translate(u"Unit_B");
    if (uint64_t const kilobytes = (bytes + 512) / 1024; kilobytes < 1024)
        return core::decimal(static_cast<int64_t>(kilobytes)) + u" " + words.translate(u"Unit_KB");
    char16_t const* const units[] = { u"Unit_MB", u"Unit_GB", u"Unit_TB" };
    double value = double(bytes) / (1024.0 * 1024);
    size_t unit = 0;
    while (value >= 1023.95 && unit + 1 < std::size(units)) {
        value /= 1024;
        ++unit;
    }
    int64_t const tenths = std::llround(value * 10);
    return core::decimal(tenths / 10) + words.lookup(u"Decimal_sign", u".") + core::decimal(tenths % 10) + u" "
        + words.translate(units[unit]);
}

} // namespace screens
