#include "text.h"

#include "riff.h"

#include <cstdint>
#include <linebreak.h>
#include <locale.h>
#include <mutex>
#include <wctype.h>

namespace platform {

namespace {

locale_t unicode_locale()
{
    static locale_t const locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

} // namespace

char16_t to_lower(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xD800 && c <= 0xDFFF) || !unicode_locale())
        return c;
    return static_cast<char16_t>(towlower_l(static_cast<wint_t>(c), unicode_locale()));
}

char16_t to_upper(char16_t c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    if ((c >= 0xD800 && c <= 0xDFFF) || !unicode_locale())
        return c;
    auto const upper = towupper_l(static_cast<wint_t>(c), unicode_locale());
    return upper > 0xFFFF ? c : static_cast<char16_t>(upper);
}

std::string to_utf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate cannot be written in UTF-8
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string from_utf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    auto const n = text.size();
    auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    while (i < n) {
        uint32_t c = byte(i);
        size_t extra = 0;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07;
            extra = 3;
        } else {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        bool bad = false;
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= n || (byte(i + k) & 0xC0) != 0x80) {
                bad = true;
                break;
            }
            c = (c << 6) | (byte(i + k) & 0x3F);
        }
        if (bad) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else if (c > 0x10FFFF) {
            out += u'\uFFFD';
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

void append_utf16le(std::vector<uint8_t>& out, std::u16string_view text)
{
    size_t const at = out.size();
    out.resize(at + 2 * text.size());
    for (size_t i = 0; i < text.size(); ++i)
        riff::put_u16(out.data() + at + 2 * i, text[i]);
}

std::u16string from_utf16le(uint8_t const* bytes, size_t size)
{
    std::u16string text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(riff::u16(bytes + 2 * i));
    return text;
}

LineEnd line_end(std::u16string_view text, size_t fit)
{
    static std::once_flag tables;
    std::call_once(tables, init_linebreak);
    LineEnd best;
    if (text.empty())
        return best;
    std::vector<char> breaks(text.size());
    static_assert(sizeof(utf16_t) == sizeof(char16_t));
    set_linebreaks_utf16(reinterpret_cast<utf16_t const*>(text.data()), text.size(), nullptr, breaks.data());
    // breaks[i] tells whether a line may end after unit i; the last unit always ends the text.
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (breaks[i] != LINEBREAK_ALLOWBREAK && breaks[i] != LINEBREAK_MUSTBREAK)
            continue;
        size_t end = i + 1;
        while (end > 0 && text[end - 1] == u' ')
            --end;
        if (end > fit)
            break;
        if (end > 0)
            best = { end, i + 1 };
    }
    return best;
}

} // namespace platform
