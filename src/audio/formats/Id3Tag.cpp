#include "Id3Tag.h"

#include <algorithm>
#include <cstring>
#include <platform/riff.h>
#include <platform/text.h>

namespace audio {

namespace {

constexpr uint32_t FRAME_HEADER_SIZE = 10;
constexpr uint32_t EXTENDED_HEADER_SIZE = 10;
constexpr uint32_t EXTENDED_CRC_SIZE = 4;

uint32_t big_endian(uint8_t const* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool write_all(os::OutStream& out, void const* bytes, uint32_t count)
{
    return out.write(bytes, count) == count;
}

} // namespace

uint32_t Id3Tag::read(os::InStream& in)
{
    frames_.clear();
    uint8_t h[HEADER_SIZE];
    if (in.read(h, HEADER_SIZE) != HEADER_SIZE || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF
        || (h[5] & 0x1F) != 0 || (h[6] | h[7] | h[8] | h[9]) & 0x80)
        return 0;
    uint32_t const size = (uint32_t(h[6]) << 21) | (uint32_t(h[7]) << 14) | (uint32_t(h[8]) << 7) | h[9];
    uint32_t const end = in.tell() + size; // frames stop here, whatever follows in the file
    uint32_t const available_end = std::min(end, in.size());

    if (h[5] & 0x40) {
        uint8_t e[EXTENDED_HEADER_SIZE];
        if (in.read(e, EXTENDED_HEADER_SIZE) != EXTENDED_HEADER_SIZE)
            return HEADER_SIZE + size;
        if ((e[4] & 0x80) && in.skip(EXTENDED_CRC_SIZE) != EXTENDED_CRC_SIZE)
            return HEADER_SIZE + size;
    }
    for (;;) {
        uint32_t const position = in.tell();
        if (position > available_end || available_end - position < FRAME_HEADER_SIZE)
            break;
        uint8_t f[FRAME_HEADER_SIZE];
        if (in.read(f, FRAME_HEADER_SIZE) != FRAME_HEADER_SIZE)
            break;
        uint32_t const length = big_endian(f + 4);
        // A body that would reach past the tag or the file is a short read: nothing is allocated for it.
        if (length == 0 || length > MAX_SIZE || length > available_end - position - FRAME_HEADER_SIZE)
            break;
        Frame frame;
        std::memcpy(frame.id.data(), f, 4);
        frame.flags = { f[8], f[9] };
        frame.data = core::SharedBuffer(length);
        if (in.read(frame.data.writable(), length) != length)
            break;
        frames_.push_back(std::move(frame));
    }
    return HEADER_SIZE + size;
}

core::String Id3Tag::frame_text(core::SharedBuffer const& data)
{
    core::String text;
    if (data.length() < 1)
        return text;
    uint8_t const* p = data.data() + 1;
    size_t const n = data.length() - 1;
    bool const little = n > 2 && p[0] == 0xFF && p[1] == 0xFE;
    bool const big = n > 2 && p[0] == 0xFE && p[1] == 0xFF;
    if (little || big) {
        for (size_t i = 2; i + 1 < n; i += 2) {
            auto const unit = static_cast<char16_t>(little ? platform::riff::u16(p + i) : (p[i] << 8) | p[i + 1]);
            if (unit == 0)
                break;
            text += unit;
        }
    } else {
        for (size_t i = 0; i < n && p[i] != 0; ++i)
            text += static_cast<char16_t>(p[i]);
    }
    return text;
}

core::String Id3Tag::text(std::string_view id) const
{
    for (auto const& frame : frames_)
        if (frame.name() == id)
            return frame_text(frame.data);
    return {};
}

Id3Tag::Frame* Id3Tag::find(std::string_view id)
{
    for (auto& frame : frames_)
        if (frame.name() == id)
            return &frame;
    return nullptr;
}

void Id3Tag::remove(std::string_view id)
{
    std::erase_if(frames_, [&](Frame const& f) { return f.name() == id; });
}

void Id3Tag::put(std::string_view id, std::vector<uint8_t> const& data)
{
    Frame* frame = find(id);
    if (!frame) {
        frames_.emplace_back();
        frame = &frames_.back();
        std::copy_n(id.begin(), std::min<size_t>(id.size(), 4), frame->id.begin());
    }
    frame->flags = {};
    frame->data = core::SharedBuffer(data.size(), data.data());
}

void Id3Tag::set_text(std::string_view id, core::StringView text)
{
    text = text.substr(0, text.find(u'\0'));
    if (text.empty()) {
        remove(id);
        return;
    }
    bool const ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 32 && c <= 127; });
    std::vector<uint8_t> data;
    if (ascii) {
        data.push_back(0);
        for (char16_t c : text)
            data.push_back(static_cast<uint8_t>(c));
    } else {
        data = { 1, 0xFF, 0xFE };
        platform::append_utf16le(data, text);
    }
    put(id, data);
}

std::string_view Id3Tag::mime_type(uint8_t const* bytes, size_t size)
{
    static constexpr uint8_t JPEG[] = { 0xFF, 0xD8, 0xFF, 0xE0 };
    static constexpr uint8_t PNG[] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
    if (size >= sizeof JPEG && std::memcmp(bytes, JPEG, sizeof JPEG) == 0)
        return "image/jpeg";
    if (size >= sizeof PNG && std::memcmp(bytes, PNG, sizeof PNG) == 0)
        return "image/png";
    if (size >= 6 && (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0))
        return "image/gif";
    return "image/xyz";
}

void Id3Tag::set_picture(uint8_t const* bytes, size_t size)
{
    if (size < 8) {
        remove("APIC");
        return;
    }
    std::string_view const mime = mime_type(bytes, size);
    std::vector<uint8_t> data;
    data.reserve(size + mime.size() + 4);
    data.push_back(0); // encoding
    data.insert(data.end(), mime.begin(), mime.end());
    data.push_back(0);
    data.push_back(0); // picture type
    data.push_back(0); // empty description
    data.insert(data.end(), bytes, bytes + size);
    put("APIC", data);
}

bool Id3Tag::write(os::OutStream& out, uint32_t fixed_size) const
{
    uint64_t total = 0;
    for (auto const& frame : frames_)
        total += frame.data.length() + FRAME_HEADER_SIZE;
    if (total == 0 || total > MAX_SIZE)
        return false;
    if (fixed_size
        && (fixed_size < HEADER_SIZE || fixed_size - HEADER_SIZE > MAX_SIZE || total > fixed_size - HEADER_SIZE))
        return false;
    uint32_t const size
        = fixed_size ? fixed_size - HEADER_SIZE : std::min<uint32_t>(uint32_t(total) + PADDING, MAX_SIZE);

    uint8_t const header[HEADER_SIZE] = { 'I', 'D', '3', 3, 0, 0, uint8_t((size >> 21) & 0x7F),
        uint8_t((size >> 14) & 0x7F), uint8_t((size >> 7) & 0x7F), uint8_t(size & 0x7F) };
    if (!write_all(out, header, HEADER_SIZE))
        return false;
    for (auto const& frame : frames_) {
        uint32_t const length = static_cast<uint32_t>(frame.data.length());
        uint8_t const f[FRAME_HEADER_SIZE] = { uint8_t(frame.id[0]), uint8_t(frame.id[1]), uint8_t(frame.id[2]),
            uint8_t(frame.id[3]), uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length),
            frame.flags[0], frame.flags[1] };
        if (!write_all(out, f, FRAME_HEADER_SIZE) || !write_all(out, frame.data.data(), length))
            return false;
    }
    static constexpr uint8_t zeros[1024] = {};
    for (uint64_t left = size - total; left > 0;) {
        uint32_t const n = static_cast<uint32_t>(std::min<uint64_t>(left, sizeof zeros));
        if (!write_all(out, zeros, n))
            return false;
        left -= n;
    }
    return true;
}

} // namespace audio
