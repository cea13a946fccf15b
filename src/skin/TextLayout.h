#pragma once

#include "Point.h"
#include "TextStyle.h"

#include <core/Strings.h>

#include <cstdint>
#include <vector>

namespace skin {

class FontRep;
class RenderSurface;

// The text of "text" and "edit" elements laid out in lines: tabs become four blanks; without wrapping
// line ends become blanks and the text is one line; with wrapping line feeds end lines and lines wider
// than the element are broken where the line breaking rules allow (at blanks, between ideographs; a word
// wider than the element is cut between graphemes).
class TextLayout {
public:
    struct Line {
        core::String text;
        int32_t width = 0;
        size_t start = 0; // index of its first character in the prepared text
    };

    TextLayout(FontRep const& font, core::StringView text, bool wrap, int32_t width);

    // Tabs as four blanks, and without wrapping CR and LF as blanks.
    static core::String prepare(core::StringView text, bool wrap);

    std::vector<Line> const& lines() const { return lines_; }
    // The widest line and the height of all lines.
    Point size() const { return size_; }

    // Places the lines in [origin, origin + size) by the style's alignment (JUSTIFY lines start at the
    // left) and draws each with one draw_text call as wide as the element.
    void draw(RenderSurface& surface, Point origin, Point size, TextStyle const& style) const;

private:
    void break_line(core::StringView line, int32_t width, char16_t const* base);

    FontRep const& font_;
    std::vector<Line> lines_;
    Point size_;
};

} // namespace skin
