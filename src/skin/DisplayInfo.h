#pragma once

#include <cstdint>

namespace skin {

// What the application tells the skin about the screen. Only the vertical dots per inch decide anything
// here (the scale of the skin); the rest is carried for the layout.
struct DisplayInfo {
    int32_t width = 480;
    int32_t height = 640;
    int32_t width_copy = 480;
    int32_t height_copy = 640;
    int32_t orientation = 0;
    int32_t dpi_y = 96;
};

} // namespace skin
