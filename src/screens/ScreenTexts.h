#pragma once

#include <core/Strings.h>

#include <cstdint>

// The texts and values that the recording and playback screens show, apart from their forms. The size
// and format texts are the record store's (document::size_text, document::describe_format).
namespace screens {

// A number in two digits: a leading "0" for one digit, only the last two digits of a longer one.
core::String two_digits(int64_t value);
// "h:mm:ss" below ten hours ("0:05:07"), else "h h" ("10 h"). Negative seconds (and what is not a
// number) count as 0; fractions are dropped.
core::String duration_text(double seconds, core::StringView hours = u"h");
// The recording time that `free_bytes` hold at `bit_rate` bits per second; 0 without a bit rate.
double seconds_left(double free_bytes, int32_t bit_rate);
// Where a press at `x` lies on a slider from `left` that is `width` wide: 0 to 1, 0 for a width below 1.
double slider_value(int32_t x, int32_t left, int32_t width);

// The skin node naming a record's list icon: "main_memory", "card", with "_incoming" or "_outgoing" for
// the albums "Incoming" and "Outgoing". `documents` is the expanded documents folder.
core::StringView row_icon_name(core::StringView path, core::StringView album, core::StringView documents);

} // namespace screens
