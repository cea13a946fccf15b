#include "Strings.h"

#include <platform/text.h>

namespace core {

std::string to_utf8(StringView text)
{
    return platform::to_utf8(text);
}

String from_utf8(std::string_view text)
{
    return platform::from_utf8(text);
}

String decimal(int64_t value)
{
    char16_t buffer[24];
    char16_t* end = buffer + 24;
    char16_t* p = end;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = u'-';
    return String(p, end);
}

} // namespace core
