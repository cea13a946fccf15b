#include "VorbisComment.h"

#include "Id3Tag.h"

#include <algorithm>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void put_le32(std::vector<uint8_t>& out, size_t value)
{
    uint8_t p[4];
    platform::riff::put_u32(p, static_cast<uint32_t>(value));
    out.insert(out.end(), p, p + 4);
}

void put_be32(std::vector<uint8_t>& out, size_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

bool same_name(std::string const& comment, std::string_view name)
{
    if (comment.size() <= name.size() || comment[name.size()] != '=')
        return false;
    return std::equal(name.begin(), name.end(), comment.begin(),
        [](char a, char b) { return std::toupper(uint8_t(a)) == std::toupper(uint8_t(b)); });
}

} // namespace

bool VorbisComment::parse(uint8_t const* bytes, size_t size, size_t* used)
{
    vendor.clear();
    comments.clear();
    size_t at = 0;
    auto text = [&](std::string& out) {
        if (size - at < 4)
            return false;
        uint32_t const length = platform::riff::u32(bytes + at);
        at += 4;
        if (size - at < length)
            return false;
        out.assign(reinterpret_cast<char const*>(bytes + at), length);
        at += length;
        return true;
    };
    if (!text(vendor) || size - at < 4)
        return false;
    uint32_t const count = platform::riff::u32(bytes + at);
    at += 4;
    // Each comment takes at least its four bytes of length: a count beyond that is not believed.
    if (count > (size - at) / 4)
        return false;
    comments.resize(count);
    for (auto& comment : comments)
        if (!text(comment))
            return false;
    if (used)
        *used = at;
    return true;
}

std::vector<uint8_t> VorbisComment::bytes() const
{
    std::vector<uint8_t> out;
    put_le32(out, vendor.size());
    out.insert(out.end(), vendor.begin(), vendor.end());
    put_le32(out, comments.size());
    for (auto const& comment : comments) {
        put_le32(out, comment.size());
        out.insert(out.end(), comment.begin(), comment.end());
    }
    return out;
}

core::String VorbisComment::text(std::string_view name) const
{
    for (auto const& comment : comments)
        if (same_name(comment, name))
            return core::from_utf8(comment.substr(name.size() + 1));
    return {};
}

void VorbisComment::set_text(std::string_view name, core::StringView value)
{
    auto const first = std::find_if(
        comments.begin(), comments.end(), [&](std::string const& comment) { return same_name(comment, name); });
    size_t const at = first == comments.end() ? comments.size() : size_t(first - comments.begin());
    std::erase_if(comments, [&](std::string const& comment) { return same_name(comment, name); });
    if (value.empty())
        return;
    comments.insert(
        comments.begin() + long(std::min(at, comments.size())), std::string(name) + "=" + core::to_utf8(value));
}

void VorbisComment::add(std::string_view name, std::string_view value)
{
    comments.push_back(std::string(name) + "=" + std::string(value));
}

VorbisComment VorbisComment::of(RecordingTags const& tags, std::string_view vendor)
{
    VorbisComment comment;
    comment.vendor = vendor;
    std::pair<char const*, core::String const*> const texts[] = { { "TITLE", &tags.title }, { "ARTIST", &tags.artist },
        { "ALBUM", &tags.album }, { "GENRE", &tags.genre }, { "DATE", &tags.date } };
    for (auto const& [name, value] : texts)
        if (!value->empty())
            comment.add(name, core::to_utf8(*value));
    return comment;
}

std::vector<uint8_t> flac_picture_block(std::vector<uint8_t> const& picture)
{
    std::string_view const mime = Id3Tag::mime_type(picture.data(), picture.size());
    std::vector<uint8_t> out;
    put_be32(out, 0); // picture type: other, as in the ID3 tag
    put_be32(out, mime.size());
    out.insert(out.end(), mime.begin(), mime.end());
    put_be32(out, 0); // no description
    for (int unknown = 0; unknown < 4; ++unknown)
        put_be32(out, 0); // width, height, depth, colours
    put_be32(out, picture.size());
    out.insert(out.end(), picture.begin(), picture.end());
    return out;
}

bool parse_flac_picture_block(
    uint8_t const* bytes, size_t size, std::string& mime, uint8_t const*& picture, size_t& picture_size)
{
    size_t at = 4;
    auto field = [&](size_t& length) {
        if (size < at || size - at < 4)
            return false;
        length = platform::riff::u32_be(bytes + at);
        at += 4;
        return size - at >= length;
    };
    size_t mime_length = 0, description = 0;
    if (!field(mime_length))
        return false;
    mime.assign(reinterpret_cast<char const*>(bytes + at), mime_length);
    at += mime_length;
    if (!field(description))
        return false;
    at += description + 16;
    if (!field(picture_size))
        return false;
    picture = bytes + at;
    return true;
}

std::string base64(std::vector<uint8_t> const& bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t v = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= bytes[i + 2];
        out += BASE64[(v >> 18) & 63];
        out += BASE64[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? BASE64[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? BASE64[v & 63] : '=';
    }
    return out;
}

bool from_base64(std::string_view text, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    uint32_t v = 0;
    int bits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char const c = text[i];
        if (c == '=') {
            // Padding only closes the text.
            if (i + 2 < text.size() || (i + 1 < text.size() && text[i + 1] != '='))
                return false;
            break;
        }
        char const* at = std::char_traits<char>::find(BASE64, 64, c);
        if (!at)
            return false;
        v = v << 6 | uint32_t(at - BASE64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(v >> bits));
        }
    }
    return true;
}

} // namespace audio
