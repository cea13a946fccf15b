#include "TextLayout.h"

#include "FontRep.h"

#include <algorithm>
#include <platform/text.h>

namespace skin {

core::String TextLayout::prepare(core::StringView text, bool wrap)
{
    core::String result;
    result.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\t')
            result.append(4, u' ');
        else if (!wrap && (c == u'\r' || c == u'\n'))
            result.push_back(u' ');
        else
            result.push_back(c);
    }
    return result;
}

TextLayout::TextLayout(FontRep const& font, core::StringView text, bool wrap, int32_t width)
    : font_(font)
{
    core::String const prepared = prepare(text, wrap);
    if (!wrap) {
        lines_.push_back({ prepared, font.measure(prepared).width, 0 });
    } else {
        size_t start = 0;
        for (;;) {
            size_t const end = prepared.find(u'\n', start);
            core::StringView line = core::StringView(prepared).substr(
                start, end == core::String::npos ? core::String::npos : end - start);
            if (!line.empty() && line.back() == u'\r')
                line.remove_suffix(1);
            break_line(line, width, prepared.data());
            if (end == core::String::npos)
                break;
            start = end + 1;
        }
    }
    for (auto const& line : lines_)
        size_.x = std::max(size_.x, line.width);
    size_.y = prepared.empty() ? 0 : font.height() * static_cast<int32_t>(lines_.size());
}

void TextLayout::break_line(core::StringView line, int32_t width, char16_t const* base)
{
    auto const start_of = [base](core::StringView piece) { return static_cast<size_t>(piece.data() - base); };
    for (bool first = true; first || !line.empty(); first = false) {
        auto const extent = font_.measure(line, std::max(width, 1));
        // The first grapheme goes on a line even when it alone is too wide.
        std::vector<uint8_t> const starts = font_.grapheme_starts(line);
        size_t first_end = 1;
        while (first_end < line.size() && !starts[first_end])
            ++first_end;
        if (extent.width <= width || first_end >= line.size()) {
            lines_.push_back({ core::String(line), extent.width, start_of(line) });
            return;
        }
        size_t const fit = static_cast<size_t>(extent.fit);
        // The last opportunity to break whose line fits ends it (a blank, or between ideographs).
        size_t end, next;
        if (platform::LineEnd const at = platform::line_end(line, fit); at.end > 0) {
            end = at.end;
            next = at.next;
        } else {
            end = next = std::max(fit, first_end);
        }
        core::StringView const piece = line.substr(0, end);
        lines_.push_back({ core::String(piece), font_.measure(piece).width, start_of(piece) });
        line.remove_prefix(next);
        while (!line.empty() && line.front() == u' ')
            line.remove_prefix(1);
    }
}

void TextLayout::draw(RenderSurface& surface, Point origin, Point size, TextStyle const& style) const
{
    int32_t const line_height = font_.height();
    // A box too low for one line (a layout squeezed on a small screen) shows nothing rather than
    // spilling over its neighbours.
    if (size.y < line_height && !lines_.empty())
        return;
    int32_t y = origin.y;
    if (style.valign == VAlign::VCENTER)
        y += (size.y - size_.y) / 2;
    else if (style.valign == VAlign::BOTTOM)
        y += size.y - size_.y;
    TextStyle line_style = style;
    line_style.valign = VAlign::TOP;
    line_style.wrap = false;
    if (line_style.halign == HAlign::JUSTIFY)
        line_style.halign = HAlign::LEFT;
    for (auto const& line : lines_) {
        font_.draw_text(surface, line.text, { origin.x, y }, { size.x, line_height }, line_style);
        y += line_height;
    }
}

} // namespace skin
