#pragma once

#include <core/Strings.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace skin {

// The six property lists of an element record, in their order in the record.
enum class PropertyKind { INTEGER, FONT, POINT, STRING, PICTURE, COLOR };
constexpr int PROPERTY_KINDS = 6;
// Bytes of one property record of each kind.
constexpr uint32_t RECORD_SIZES[PROPERTY_KINDS] = { 8, 8, 8, 4, 20, 8 };

constexpr size_t SKIN_HEADER_SIZE = 92;
constexpr uint32_t NO_ENTRY = 0xFFFFFFFF;
// Elements nest at most this deep; deeper files are refused, so that building a tree never runs out of
// stack.
constexpr int MAX_ELEMENT_DEPTH = 64;

// An element record of one loaded skin file: its offset and the serial of the file it belongs to. The
// empty record (offset 0) is "none"; a record of another file than the one asked answers nothing.
struct ElementRecord {
    uint32_t offset = 0;
    uint32_t file_serial = 0;

    explicit operator bool() const { return offset != 0; }
    friend bool operator==(ElementRecord const&, ElementRecord const&) = default;
};

struct RawPoint {
    int16_t x = 0;
    int16_t y = 0;
};

struct RawPicture {
    uint16_t corners[8] = {}; // x0, y0, x1, y1, x2, y2, x3, y3
    uint8_t index = 0;
    uint8_t flag = 0;
};

struct RawColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// A compiled skin held in one block and read in place: the name tree of the top-level entries, element
// records with their six sorted property lists, and the string area (picture names, font descriptions,
// strings). Every offset, count and index is checked against the block when the file is opened, so no
// lookup afterwards can read outside it; a file that fails any check is refused.
// Threads: main thread only.
class SkinFile {
public:
    enum class Status {
        OK,
        NOT_A_SKIN, // shorter than the header, or a wrong magic
        DAMAGED, // a skin whose structure does not hold together (the reason is given)
    };

    // Takes the bytes; on a status other than OK the result is null and `reason` says what is wrong.
    static std::unique_ptr<SkinFile> open(std::vector<uint8_t> bytes, Status& status, core::String& reason);

    size_t size() const { return bytes_.size(); }
    uint32_t picture_count() const { return picture_count_; }
    uint32_t font_count() const { return font_count_; }
    uint32_t string_count() const { return string_count_; }
    // The string area in order: picture names, font descriptions, strings.
    core::String const& picture_name(uint32_t i) const { return area_[i]; }
    core::String const& font_description(uint32_t i) const { return area_[picture_count_ + i]; }
    core::String const& string(uint32_t i) const { return area_[picture_count_ + font_count_ + i]; }

    ElementRecord find_entry(core::StringView name) const;
    // The top-level names with their records, in name order.
    std::vector<std::pair<core::String, ElementRecord>> entries() const;
    uint32_t child_count(ElementRecord record) const;
    // Child i, or none when i is not below the child count.
    ElementRecord child_record(ElementRecord record, uint32_t i) const;
    // How many elements a tree built from the record holds (shared records counted each time they are
    // reached), up to UINT32_MAX.
    uint32_t element_count(ElementRecord record) const;

    std::optional<int32_t> find_int(ElementRecord record, core::StringView key) const;
    std::optional<uint32_t> find_font(ElementRecord record, core::StringView key) const;
    std::optional<RawPoint> find_point(ElementRecord record, core::StringView key) const;
    std::optional<uint16_t> find_string(ElementRecord record, core::StringView key) const;
    std::optional<RawPicture> find_picture(ElementRecord record, core::StringView key) const;
    std::optional<RawColor> find_color(ElementRecord record, core::StringView key) const;

    // Walking every property (for dumping and checking a file).
    uint32_t property_count(ElementRecord record, PropertyKind kind) const;
    core::String property_key(ElementRecord record, PropertyKind kind, uint32_t i) const;

    // Ordinal comparison of UTF-16 code units, a proper prefix first.
    static int compare(core::StringView a, core::StringView b);

private:
    explicit SkinFile(std::vector<uint8_t> bytes);
    class Validator;

    bool owns(ElementRecord record) const { return record.offset != 0 && record.file_serial == serial_; }
    // The record's list of one kind: its first byte and its count (0 for a record of another file).
    uint32_t list(ElementRecord record, PropertyKind kind, uint32_t& count) const;
    // Offset of the property record with `key` in the list, or 0.
    uint32_t find(ElementRecord record, PropertyKind kind, core::StringView key) const;
    // Compares `key` with the zero-terminated string at `offset`.
    int compare_at(core::StringView key, uint32_t offset) const;
    core::String string_at(uint32_t offset) const;

    uint16_t u16(uint32_t offset) const;
    uint32_t u32(uint32_t offset) const;

    std::vector<uint8_t> bytes_;
    uint32_t serial_ = 0;
    uint32_t root_ = NO_ENTRY;
    uint32_t picture_count_ = 0;
    uint32_t font_count_ = 0;
    uint32_t string_count_ = 0;
    std::vector<core::String> area_;
    std::unordered_map<uint32_t, uint32_t> element_counts_;
};

} // namespace skin
