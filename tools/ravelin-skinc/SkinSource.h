#pragma once

#include <core/Strings.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The skin compiler's model of a skin source: the element tree with typed properties, before it is
// laid out in the binary format.
namespace skinc {

// A failure that names what is wrong; the caller adds the file.
struct CompileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct IntProperty {
    core::String key;
    int32_t value = 0;
};
struct FontProperty {
    core::String key;
    core::String description; // "size bold italic underline face"
};
struct PointProperty {
    core::String key;
    int16_t x = 0, y = 0;
};
struct StringProperty {
    core::String key;
    core::String value;
};
struct PictureProperty {
    core::String key;
    std::string source; // PNG file, as written in the source (relative to it)
    bool has_corners = false;
    std::array<int64_t, 8> corners {}; // x0 y0 x1 y1 x2 y2 x3 y3, given directly
    bool has_area = false;
    std::array<int64_t, 4> area {}; // x y width height
    std::array<int64_t, 4> border {}; // left top right bottom
    uint8_t flag = 0;
    int line = 0;
};
struct ColorProperty {
    core::String key;
    uint8_t red = 0, green = 0, blue = 0;
};

struct SourceElement {
    core::String name; // top-level entries only
    std::vector<IntProperty> ints;
    std::vector<FontProperty> fonts;
    std::vector<PointProperty> points;
    std::vector<StringProperty> strings;
    std::vector<PictureProperty> pictures;
    std::vector<ColorProperty> colors;
    std::vector<SourceElement> children;
    int line = 0;
};

struct SkinSource {
    std::vector<SourceElement> entries;
};

// Reads an XML skin source; throws CompileError with the line of the fault.
SkinSource read_source(std::string const& path);

} // namespace skinc
