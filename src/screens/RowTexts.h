#pragma once

#include <core/Strings.h>
#include <cstdint>
#include <document/RecordEntry.h>
#include <document/Settings.h>
#include <lang/Dictionary.h>
#include <os/DateTime.h>

// The two lines of a list row: the strong one tells recordings apart (the name, or for a call the
// caller), the other says when and how long ("Mon 7 Dec, 10:44 · 0:42"). Day and month names come from
// the language file, so that a row reads whole in the user's language.
namespace screens {

struct RowTexts {
    core::String strong; // the row's "artist" element
    core::String secondary; // its "name" element
};

// How a short date gives the time: "10:44", or "10:44:12" where recordings of one minute stand together
// and would otherwise read alike.
enum class Clock { MINUTES, SECONDS };

// "Mon 7 Dec, 10:44": short day and month names of `words`, the time in hours and minutes, in the order
// of the language's "Date_short" ("%wd% %d% %mon%, %time%"; "Date_long" likewise with %weekday%, %month%
// and %year%).
core::String short_date_time(os::DateTime const& time, lang::Dictionary const& words, Clock clock = Clock::MINUTES);
// A recording's length: "0:42", "12:05", "1:02:03"; empty when unknown (negative).
core::String length_text(int64_t milliseconds);
// The name of a recording made at `time`, in the words of the language: "Monday, 7 December 2026 10:44:12".
core::String date_name(os::DateTime const& time, lang::Dictionary const& words);
// A name that the program made from the recording's start, in this language or by the platform's locale,
// which the row shows in its short form.
bool is_date_name(document::RecordEntry const& entry, lang::Dictionary const& words);
RowTexts row_texts(document::RecordEntry const& entry, lang::Dictionary const& words, Clock clock = Clock::MINUTES);
// Whether two recordings started in the same minute.
bool same_minute(os::DateTime const& a, os::DateTime const& b);

// The recording time left: "0:05:07" below ten hours, "57 h" up to 99 hours, then whole days
// ("120 days"), with the units of `words`.
core::String time_left_text(double seconds, lang::Dictionary const& words);
// A file's size as a person writes it: "500 B", "12 KB", "1.9 MB", "2.3 GB" (one decimal, rounded, with
// the language's decimal sign), with the units of `words`.
core::String size_words(uint64_t bytes, lang::Dictionary const& words);
// The units of "44kHz 16bit 64kbps" in the language of `words`.
document::FormatUnits format_units(lang::Dictionary const& words);

} // namespace screens
