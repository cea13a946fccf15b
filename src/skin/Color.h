#pragma once

#include <cstdint>

namespace skin {

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    friend bool operator==(Color const&, Color const&) = default;

    // The 565 pixel of the colour (alpha ignored).
    uint16_t to_565() const { return static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3)); }
};

} // namespace skin
