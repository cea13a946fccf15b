#include "SkinWriter.h"

#include "Svg.h"

#include <algorithm>
#include <filesystem>
#include <platform/riff.h>
#include <platform/text.h>
#include <set>
#include <skin/SkinFile.h>

namespace skinc {

namespace {

constexpr uint16_t MAGIC[4] = { 0x0421, 0x043A, 0x0438, 0x043D };

std::string base_name(std::string const& path)
{
    auto const slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    auto const dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

template <typename Property> std::vector<Property const*> sorted(std::vector<Property> const& list)
{
    std::vector<Property const*> result;
    for (auto const& p : list)
        result.push_back(&p);
    std::sort(result.begin(), result.end(), [](auto* a, auto* b) { return a->key < b->key; });
    return result;
}

std::string utf8(core::String const& text)
{
    return core::to_utf8(text);
}

// NAME@2x.png beside NAME.png, which must be exactly twice its size; empty when there is none.
Rgba read_double(std::string const& path, Rgba const& once, int line)
{
    auto const dot = path.rfind('.');
    auto const slash = path.find_last_of('/');
    std::string const stem
        = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path : path.substr(0, dot);
    std::string const double_path = stem + "@2x" + (stem.size() < path.size() ? path.substr(stem.size()) : "");
    std::error_code error;
    if (!std::filesystem::is_regular_file(double_path, error))
        return {};
    Rgba twice = read_png(double_path);
    if (twice.width != 2 * once.width || twice.height != 2 * once.height)
        throw CompileError("line " + std::to_string(line) + ": " + double_path + " is " + std::to_string(twice.width)
            + "x" + std::to_string(twice.height) + ", not twice " + std::to_string(once.width) + "x"
            + std::to_string(once.height));
    return twice;
}

} // namespace

SkinWriter::SkinWriter(SkinSource const& source, std::string const& source_folder)
    : folder_(source_folder)
{
    std::set<core::String> names;
    for (auto const& entry : source.entries) {
        if (!names.insert(entry.name).second)
            throw CompileError(
                "line " + std::to_string(entry.line) + ": the entry name \"" + utf8(entry.name) + "\" is used twice");
        collect(entry);
    }
    if (pictures_.size() > 256)
        throw CompileError("more than 256 pictures");
    if (string_order_.size() > 65536)
        throw CompileError("more than 65536 strings");

    out_.assign(skin::SKIN_HEADER_SIZE, 0);
    for (int i = 0; i < 4; ++i)
        put16(2 * i, MAGIC[i]);
    // Keys come first: a property names its key by a 16-bit offset.
    for (auto& [key, offset] : keys_)
        offset = put_string(key);
    if (out_.size() > 0x10000)
        throw CompileError("the keys take more than the first 64 KiB of the file");
    align();
    uint32_t const area = static_cast<uint32_t>(out_.size());
    for (auto const& picture : pictures_)
        put_string(core::from_utf8(picture.name));
    for (auto const& font : font_order_)
        put_string(font);
    for (auto const& text : string_order_)
        put_string(text);
    put32(76, static_cast<uint32_t>(pictures_.size()));
    put32(80, static_cast<uint32_t>(font_order_.size()));
    put32(84, area);
    put32(88, static_cast<uint32_t>(string_order_.size()));

    std::vector<SourceElement const*> entries;
    for (auto const& entry : source.entries)
        entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->name < b->name; });
    put32(72, write_entry(entries, 0, entries.size()));
}

uint32_t SkinWriter::intern(
    std::map<core::String, uint32_t>& table, std::vector<core::String>& order, core::String const& text)
{
    auto const [it, added] = table.emplace(text, static_cast<uint32_t>(order.size()));
    if (added)
        order.push_back(text);
    return it->second;
}

void SkinWriter::check_keys(SourceElement const& e) const
{
    auto unique = [&](auto const& list, char const* kind) {
        std::set<core::String> seen;
        for (auto const& p : list)
            if (!seen.insert(p.key).second)
                throw CompileError(
                    "line " + std::to_string(e.line) + ": the " + kind + " key \"" + utf8(p.key) + "\" is given twice");
    };
    unique(e.ints, "int");
    unique(e.fonts, "font");
    unique(e.points, "point");
    unique(e.strings, "string");
    unique(e.pictures, "picture");
    unique(e.colors, "color");
    check_waveform(e);
}

// A waveform's own keys: bar sizes the element can draw, and colours given as colours.
void SkinWriter::check_waveform(SourceElement const& e) const
{
    auto const type = std::find_if(e.strings.begin(), e.strings.end(), [](auto const& p) { return p.key == u"type"; });
    if (type == e.strings.end() || type->value != u"waveform")
        return;
    auto fault = [&](std::string const& what) {
        throw CompileError("line " + std::to_string(e.line) + ": a waveform's " + what);
    };
    for (auto const& p : e.ints) {
        int32_t const low = p.key == u"bar_width" ? 1 : 0;
        if ((p.key == u"bar_width" || p.key == u"bar_gap") && (p.value < low || p.value > 16))
            fault("\"" + utf8(p.key) + "\" " + std::to_string(p.value) + " is out of range " + std::to_string(low)
                + "..16");
    }
    auto not_colour = [&](auto const& list) {
        for (auto const& p : list)
            if (p.key.starts_with(u"color_"))
                fault("\"" + utf8(p.key) + "\" must be a <color>");
    };
    not_colour(e.ints);
    not_colour(e.points);
    not_colour(e.strings);
    not_colour(e.fonts);
    not_colour(e.pictures);
}

void SkinWriter::collect(SourceElement const& e)
{
    check_keys(e);
    auto key = [&](core::String const& k) { keys_.emplace(k, 0); };
    for (auto const& p : e.ints)
        key(p.key);
    for (auto const& p : e.points)
        key(p.key);
    for (auto const& p : e.colors)
        key(p.key);
    for (auto const& p : e.fonts) {
        key(p.key);
        intern(font_index_, font_order_, p.description);
    }
    for (auto const& p : e.strings) {
        key(p.key);
        intern(string_index_, string_order_, p.value);
    }
    for (auto const& p : e.pictures) {
        key(p.key);
        if (picture_index_.contains(p.source))
            continue;
        std::string const name = base_name(p.source);
        for (auto const& other : pictures_)
            if (other.name == name)
                throw CompileError("line " + std::to_string(p.line) + ": pictures " + other.source + " and " + p.source
                    + " share the name \"" + name + "\"");
        if (name.ends_with("@2x"))
            throw CompileError("line " + std::to_string(p.line) + ": " + p.source
                + " is the double-size drawing of another picture; name that one");
        std::string const path = p.source.starts_with("/") || folder_.empty() ? p.source : folder_ + "/" + p.source;
        picture_index_.emplace(p.source, static_cast<uint32_t>(pictures_.size()));
        if (path.ends_with(".svg")) {
            try {
                SvgDrawing drawing = draw_svg(path);
                pictures_.push_back({ p.source, name, std::move(drawing.once), std::move(drawing.twice) });
            } catch (CompileError const& error) {
                throw CompileError("line " + std::to_string(p.line) + ": " + error.what());
            }
            continue;
        }
        Rgba once = read_png(path);
        Rgba twice = read_double(path, once, p.line);
        pictures_.push_back({ p.source, name, std::move(once), std::move(twice) });
    }
    for (auto const& child : e.children)
        collect(child);
}

void SkinWriter::align()
{
    while (out_.size() % 4)
        out_.push_back(0);
}

uint32_t SkinWriter::put_string(core::String const& text)
{
    auto const offset = static_cast<uint32_t>(out_.size());
    platform::append_utf16le(out_, text);
    platform::append_utf16le(out_, std::u16string_view(u"\0", 1));
    return offset;
}

void SkinWriter::put16(uint32_t offset, uint32_t value)
{
    platform::riff::put_u16(out_.data() + offset, static_cast<uint16_t>(value));
}

void SkinWriter::put32(uint32_t offset, uint32_t value)
{
    platform::riff::put_u32(out_.data() + offset, value);
}

// A balanced search tree: the middle name, then the lower and the higher halves.
uint32_t SkinWriter::write_entry(std::vector<SourceElement const*> const& entries, size_t low, size_t high)
{
    if (low >= high)
        return skin::NO_ENTRY;
    size_t const mid = (low + high) / 2;
    uint32_t const name = put_string(entries[mid]->name);
    align();
    auto const entry = static_cast<uint32_t>(out_.size());
    out_.resize(out_.size() + 12);
    put32(entry + 8, name);
    write_record(*entries[mid]); // starts right after the entry's three words
    put32(entry, write_entry(entries, low, mid));
    put32(entry + 4, write_entry(entries, mid + 1, high));
    return entry;
}

void SkinWriter::corners(PictureProperty const& p, SkinPicture const& picture, uint16_t (&out)[8]) const
{
    std::array<int64_t, 8> c;
    if (p.has_corners) {
        c = p.corners;
    } else {
        auto const area
            = p.has_area ? p.area : std::array<int64_t, 4> { 0, 0, picture.pixels.width, picture.pixels.height };
        auto const& b = p.border;
        c = { area[0], area[1], area[0] + b[0], area[1] + b[1], area[0] + area[2] - b[2], area[1] + area[3] - b[3],
            area[0] + area[2], area[1] + area[3] };
    }
    std::string const where = "line " + std::to_string(p.line) + ": picture " + p.source;
    for (int i = 0; i < 6; ++i)
        if (c[i] > c[i + 2])
            throw CompileError(where + ": the corners must not decrease (x0 <= x1 <= x2 <= x3, y0 <= y1 <= y2 <= y3)");
    if (c[6] > picture.pixels.width || c[7] > picture.pixels.height || c[6] <= c[0] || c[7] <= c[1])
        throw CompileError(where + ": the used part is empty or leaves the picture of "
            + std::to_string(picture.pixels.width) + " x " + std::to_string(picture.pixels.height));
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint16_t>(c[i]);
}

uint16_t SkinWriter::record_offset(SourceElement const& e, uint32_t record) const
{
    uint64_t const at = out_.size() - record;
    if (at > 0xFFFF)
        throw CompileError("line " + std::to_string(e.line) + ": the properties of an element exceed 64 KiB");
    return static_cast<uint16_t>(at);
}

template <typename Property, typename Fill>
void SkinWriter::write_list(std::vector<Property> const& list, uint32_t size, Fill const& fill)
{
    for (auto* p : sorted(list)) {
        auto const at = static_cast<uint32_t>(out_.size());
        out_.resize(at + size);
        put16(at, keys_.at(p->key));
        fill(at, *p);
    }
}

// The record's seven list offsets, its child count and child offsets, then its six property lists, then
// its children.
uint32_t SkinWriter::write_record(SourceElement const& e)
{
    auto const record = static_cast<uint32_t>(out_.size());
    if (e.children.size() > 0xFFFF)
        throw CompileError("line " + std::to_string(e.line) + ": more than 65535 children");
    out_.resize(out_.size() + 16 + 4 * e.children.size());
    uint16_t o[7];
    o[0] = record_offset(e, record);
    write_list(e.ints, 8, [&](uint32_t at, IntProperty const& p) { put32(at + 4, static_cast<uint32_t>(p.value)); });
    o[1] = record_offset(e, record);
    write_list(e.fonts, 8, [&](uint32_t at, FontProperty const& p) { put32(at + 4, font_index_.at(p.description)); });
    o[2] = record_offset(e, record);
    write_list(e.points, 8, [&](uint32_t at, PointProperty const& p) {
        put16(at + 4, static_cast<uint16_t>(p.x));
        put16(at + 6, static_cast<uint16_t>(p.y));
    });
    o[3] = record_offset(e, record);
    write_list(e.strings, 4, [&](uint32_t at, StringProperty const& p) { put16(at + 2, string_index_.at(p.value)); });
    o[4] = record_offset(e, record);
    write_list(e.pictures, 20, [&](uint32_t at, PictureProperty const& p) { write_picture(at, p); });
    o[5] = record_offset(e, record);
    write_list(e.colors, 8, [&](uint32_t at, ColorProperty const& p) {
        out_[at + 4] = p.red;
        out_[at + 5] = p.green;
        out_[at + 6] = p.blue;
    });
    o[6] = record_offset(e, record);
    for (int k = 0; k < 7; ++k)
        put16(record + 2 * k, o[k]);
    put16(record + 14, static_cast<uint32_t>(e.children.size()));
    for (size_t i = 0; i < e.children.size(); ++i) {
        align();
        uint32_t const child = write_record(e.children[i]);
        put32(record + 16 + 4 * static_cast<uint32_t>(i), child);
    }
    return record;
}

void SkinWriter::write_picture(uint32_t at, PictureProperty const& p)
{
    uint32_t const index = picture_index_.at(p.source);
    uint16_t c[8];
    corners(p, pictures_[index], c);
    for (int i = 0; i < 8; ++i)
        put16(at + 2 + 2 * i, c[i]);
    out_[at + 18] = static_cast<uint8_t>(index);
    out_[at + 19] = p.flag;
}

} // namespace skinc
