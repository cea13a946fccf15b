#include "Id3v1Tag.h"

#include <algorithm>
#include <vector>

namespace audio {

namespace {

bool valid_utf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        auto const lead = static_cast<uint8_t>(text[i]);
        size_t const extra = lead < 0x80  ? 0
            : lead >= 0xC2 && lead < 0xE0 ? 1
            : (lead & 0xF0) == 0xE0       ? 2
            : lead >= 0xF0 && lead < 0xF5 ? 3
                                          : SIZE_MAX;
        if (extra == SIZE_MAX || extra >= text.size() - i)
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += extra + 1;
    }
    return true;
}

core::String field(uint8_t const* bytes, size_t size)
{
    size_t length = std::find(bytes, bytes + size, 0) - bytes;
    while (length > 0 && (bytes[length - 1] == ' ' || bytes[length - 1] == 0))
        --length;
    std::string_view const text(reinterpret_cast<char const*>(bytes), length);
    if (valid_utf8(text))
        return core::from_utf8(text);
    core::String wide;
    for (char c : text)
        wide += static_cast<char16_t>(static_cast<uint8_t>(c));
    return wide;
}

} // namespace

bool Id3v1Tag::read(os::InStream& in)
{
    *this = Id3v1Tag();
    uint32_t const size = in.size();
    uint32_t const searched = std::min(size, SEARCHED);
    std::vector<uint8_t> tail(searched);
    if (searched < 3 || !in.seek(size - searched) || in.read(tail.data(), searched) != searched)
        return false;
    size_t at = tail.size() - 3 + 1;
    do {
        --at;
    } while (at > 0 && !(tail[at] == 'T' && tail[at + 1] == 'A' && tail[at + 2] == 'G'));
    if (!(tail[at] == 'T' && tail[at + 1] == 'A' && tail[at + 2] == 'G') || at + 3 + BODY > tail.size())
        return false;
    uint8_t const* body = tail.data() + at + 3;
    title = field(body, 30);
    artist = field(body + 30, 30);
    album = field(body + 60, 30);
    year = field(body + 90, 4);
    comment = field(body + 94, 30);
    if (body[94 + 28] == 0 && body[94 + 29] != 0)
        track = body[94 + 29];
    genre = body[124];
    return true;
}

} // namespace audio
