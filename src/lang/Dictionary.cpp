#include "Dictionary.h"

#include <os/File.h>
#include <platform/text.h>
#include <vector>

namespace lang {

namespace {

bool is_blank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

bool is_line_end(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

String decode(uint8_t const* bytes, size_t size)
{
    String text;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = platform::from_utf16le(bytes + 2, size - 2);
    } else {
        text.assign(bytes, bytes + size);
    }
    return text;
}

} // namespace

Dictionary::Map Dictionary::parse(uint8_t const* bytes, size_t size)
{
    String const text = decode(bytes, size);
    Map map;
    size_t at = 0;
    size_t const n = text.size();
    while (at < n) {
        while (at < n && (is_blank(text[at]) || is_line_end(text[at])))
            ++at;
        size_t const key_start = at;
        while (at < n && text[at] != u'=' && !is_blank(text[at]) && !is_line_end(text[at]))
            ++at;
        size_t const key_end = at;
        if (at < n && text[at] == u'=')
            ++at;
        else
            while (at < n && is_blank(text[at]))
                ++at;
        size_t const value_start = at;
        while (at < n && !is_line_end(text[at]))
            ++at;
        if (key_end > key_start)
            map.insert_or_assign(
                text.substr(key_start, key_end - key_start), text.substr(value_start, at - value_start));
    }
    return map;
}

bool Dictionary::load(StringView path)
{
    os::File file(path, os::FileMode::Read);
    if (!file.is_open())
        return false;
    std::vector<uint8_t> bytes(file.size());
    uint32_t const got = file.read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    map_ = parse(bytes.data(), got);
    path_ = String(path);
    return true;
}

String Dictionary::translate(StringView key) const
{
    auto const found = map_.find(key);
    return found == map_.end() ? String(key) : found->second;
}

String Dictionary::lookup(StringView key, StringView fallback) const
{
    auto const found = map_.find(key);
    return found == map_.end() ? String(fallback) : found->second;
}

} // namespace lang
