#pragma once

#include <cstdint>

namespace skin {

// A position or a size in pixels.
struct Point {
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(Point const&, Point const&) = default;
    friend Point operator+(Point a, Point b) { return { a.x + b.x, a.y + b.y }; }
    friend Point operator-(Point a, Point b) { return { a.x - b.x, a.y - b.y }; }
};

} // namespace skin
