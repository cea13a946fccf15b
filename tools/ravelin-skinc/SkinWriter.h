#pragma once

#include "Png.h"
#include "SkinSource.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace skinc {

// A picture of the skin: the PNG it comes from, its name in the string area (the PNG's base name), its
// pixels, and its drawing at twice the size when NAME@2x.png lies beside NAME.png (empty otherwise).
struct SkinPicture {
    std::string source;
    std::string name;
    Rgba pixels;
    Rgba twice;
};

// Lays a skin source out in the binary skin format: header, keys (in the first 64 KiB), string area
// (picture names, font descriptions, strings), the name tree of the top-level entries (balanced), and
// element records with their six property lists sorted by UTF-16 code unit.
class SkinWriter {
public:
    // `source_folder` resolves the pictures' relative paths.
    SkinWriter(SkinSource const& source, std::string const& source_folder);

    std::vector<uint8_t> const& bytes() const { return out_; }
    std::vector<SkinPicture> const& pictures() const { return pictures_; }

private:
    void collect(SourceElement const& element);
    uint32_t intern(
        std::map<core::String, uint32_t>& table, std::vector<core::String>& order, core::String const& text);
    void check_keys(SourceElement const& element) const;
    void check_waveform(SourceElement const& element) const;

    void align();
    uint32_t put_string(core::String const& text);
    void put16(uint32_t offset, uint32_t value);
    void put32(uint32_t offset, uint32_t value);
    uint32_t write_entry(std::vector<SourceElement const*> const& sorted, size_t low, size_t high);
    uint32_t write_record(SourceElement const& element);
    // Where the next list of the record that starts at `record` begins, relative to it.
    uint16_t record_offset(SourceElement const& element, uint32_t record) const;
    // Each property sorted by key: its key's offset, then what `fill` writes into its `size` bytes.
    template <typename Property, typename Fill>
    void write_list(std::vector<Property> const& list, uint32_t size, Fill const& fill);
    void write_picture(uint32_t at, PictureProperty const& p);
    void corners(PictureProperty const& p, SkinPicture const& picture, uint16_t (&out)[8]) const;

    std::string folder_;
    std::vector<uint8_t> out_;
    std::map<core::String, uint32_t> keys_;
    std::map<core::String, uint32_t> font_index_, string_index_;
    std::vector<core::String> font_order_, string_order_;
    std::map<std::string, uint32_t> picture_index_;
    std::vector<SkinPicture> pictures_;
};

} // namespace skinc
