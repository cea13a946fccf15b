#pragma once

#include "Color.h"

namespace skin {

enum class HAlign { LEFT = 0, CENTER = 1, RIGHT = 2, JUSTIFY = 3 };
enum class VAlign { TOP = 0, VCENTER = 1, BOTTOM = 2 };

// How text is drawn: colour (alpha ignored), alignment in its box, and word wrapping.
struct TextStyle {
    Color color;
    HAlign halign = HAlign::LEFT;
    VAlign valign = VAlign::TOP;
    bool wrap = false;
};

} // namespace skin
