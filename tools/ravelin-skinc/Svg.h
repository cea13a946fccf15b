#pragma once

#include "Png.h"

#include <string>

namespace skinc {

// An SVG picture drawn by rsvg-convert (Debian's librsvg2-bin) at its own size and at twice that size.
struct SvgDrawing {
    Rgba once;
    Rgba twice;
};

// Throws CompileError when rsvg-convert cannot be run or cannot draw the file, or the drawings are not
// exactly one and two times the same size.
SvgDrawing draw_svg(std::string const& path);

} // namespace skinc
