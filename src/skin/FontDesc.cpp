#include "FontDesc.h"

#include <algorithm>
#include <limits>

namespace skin {

namespace {

bool is_blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

void skip_blanks(core::StringView text, size_t& at)
{
    while (at < text.size() && is_blank(text[at]))
        ++at;
}

// A signed decimal at `at`, saturated to 32 bits; it must end at a blank or the end of the text.
bool read_integer(core::StringView text, size_t& at, int32_t& value)
{
    size_t i = at;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    size_t const digits = i;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude
            = std::min<int64_t>(magnitude * 10 + (text[i] - u'0'), int64_t(std::numeric_limits<int32_t>::max()) + 1);
    if (i == digits || (i < text.size() && !is_blank(text[i])))
        return false;
    int64_t const signed_value = negative ? -magnitude : magnitude;
    value = static_cast<int32_t>(
        std::clamp<int64_t>(signed_value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    at = i;
    return true;
}

} // namespace

bool FontDesc::parse(core::StringView description)
{
    size_t at = 0;
    int32_t fields[4];
    for (int i = 0; i < 4; ++i) {
        skip_blanks(description, at);
        if (!read_integer(description, at, fields[i]))
            return false;
        switch (i) {
        case 0:
            size = fields[0];
            break;
        case 1:
            bold = fields[1] != 0;
            break;
        case 2:
            italic = fields[2] != 0;
            break;
        default:
            underline = fields[3] != 0;
        }
    }
    size_t const before = at;
    skip_blanks(description, at);
    if (at == before || at == description.size())
        return false;
    face = core::String(description.substr(at));
    return true;
}

} // namespace skin
