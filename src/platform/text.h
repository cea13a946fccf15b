#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text crosses the platform boundary as UTF-8; inside the program it is UTF-16.
namespace platform {

std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);

// UTF-16LE, two bytes a code unit, as files, registry values and messages between instances hold text.
void append_utf16le(std::vector<uint8_t>& out, std::u16string_view text);
// The code units of the whole byte pairs; an odd last byte is left out.
std::u16string from_utf16le(uint8_t const* bytes, size_t size);

// Case conversion of one code unit by the Unicode tables of the C.UTF-8 locale, whatever the user's locale.
char16_t to_lower(char16_t c);
char16_t to_upper(char16_t c);

// Where a line that must be shortened may end, by the Unicode line breaking rules: after the blanks that
// end a word, after a hyphen, and between two ideographs (Chinese and Japanese have no blanks), but never
// before a closing mark such as "。" or "?" nor across a no-break space.
struct LineEnd {
    size_t end = 0; // the line's length, its trailing blanks left out
    size_t next = 0; // where the next line starts
};
// The longest first line of `text` that keeps at most `fit` code units (blanks past them may hang); end 0
// when no opportunity lies within them.
LineEnd line_end(std::u16string_view text, size_t fit);

} // namespace platform
