#pragma once

#include <string>
#include <string_view>

// Text crosses the platform boundary as UTF-8; inside the program it is UTF-16.
namespace platform {

std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);

// Case conversion of one code unit by the Unicode tables of the C.UTF-8 locale, whatever the user's locale.
char16_t to_lower(char16_t c);
char16_t to_upper(char16_t c);

} // namespace platform
