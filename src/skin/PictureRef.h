#pragma once

#include "PictureHolder.h"
#include "Point.h"

#include <array>
#include <cstdint>

namespace skin {

// What a picture lookup answers: the nine-grid corners (x0, y0) .. (x3, y3), already scaled, a shared
// reference to the picture, the skin's scale_shift and the record's flag byte. An empty reference has
// no picture and draws nothing.
struct PictureRef {
    std::array<Point, 4> corners {};
    PictureHandle picture;
    int32_t scale_shift = 0;
    uint8_t flag = 0;

    bool empty() const { return !picture; }
    // The size of the used part on the screen.
    Point size() const { return corners[3] - corners[0]; }
};

} // namespace skin
