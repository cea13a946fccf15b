#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text, paths and registry data are UTF-16 everywhere inside the program.
namespace core {

using String = std::u16string;
using StringView = std::u16string_view;

std::string to_utf8(StringView text);
String from_utf8(std::string_view text);

// Signed decimal, as numbers are written into text throughout the program.
String decimal(int64_t value);

} // namespace core
