#include "TextElement.h"

#include <algorithm>
#include <skin/PropertiesImpl.h>

namespace skin {

namespace {

// The minimum height a wrapped text without "grow_min" insists on at most.
constexpr int32_t WRAPPED_MINIMUM_HEIGHT = 20;

} // namespace

HAlign halign_from_name(core::StringView name, bool justify, HAlign fallback)
{
    if (name == u"LEFT")
        return HAlign::LEFT;
    if (name == u"CENTER")
        return HAlign::CENTER;
    if (name == u"RIGHT")
        return HAlign::RIGHT;
    if (justify && name == u"JUSTIFY")
        return HAlign::JUSTIFY;
    return fallback;
}

VAlign valign_from_name(core::StringView name, VAlign fallback)
{
    if (name == u"TOP")
        return VAlign::TOP;
    if (name == u"VCENTER")
        return VAlign::VCENTER;
    if (name == u"BOTTOM")
        return VAlign::BOTTOM;
    return fallback;
}

TextElement::TextElement(Element* parent)
    : Element(parent)
{
}

void TextElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    font_ = properties.lookup_font(record, u"font", properties.default_font());
    text_ = properties.translate(properties.lookup_string(record, u"text", u""));
    grow_min_ = properties.lookup_int(record, u"grow_min", 0) != 0;
    grow_ = grow_min_ || properties.lookup_int(record, u"grow", 0) != 0;
    color_ = properties.lookup_color(record, u"color", Color {});
    halign_ = halign_from_name(properties.lookup_string(record, u"halign", u""), true, HAlign::CENTER);
    valign_ = valign_from_name(properties.lookup_string(record, u"valign", u""), VAlign::VCENTER);
    wrap_ = properties.lookup_int(record, u"wrap", 0) != 0;
    left_ = right_ = nullptr;
    for (size_t i = 0; i < child_count(); ++i) {
        Element* c = child(i);
        if (!left_ && c->id() == u"#left")
            left_ = c;
        else if (!right_ && c->id() == u"#right")
            right_ = c;
    }
    for (Element* companion : { left_, right_ })
        if (companion)
            companion->set_listener(nullptr);
    relayout();
}

void TextElement::on_descendant_destroyed(Element* descendant)
{
    if (descendant == left_)
        left_ = nullptr;
    if (descendant == right_)
        right_ = nullptr;
}

void TextElement::relayout()
{
    laid_width_ = size().x;
    if (!font_) {
        layout_.reset();
        return;
    }
    layout_.emplace(*font_, text_, wrap_, laid_width_ > 0 ? laid_width_ : EXTENT_LIMIT);
}

std::vector<TextLayout::Line> const& TextElement::lines() const
{
    static std::vector<TextLayout::Line> const none;
    return layout_ ? layout_->lines() : none;
}

Point TextElement::text_size() const
{
    return layout_ ? layout_->size() : Point {};
}

void TextElement::set_text(core::StringView text)
{
    set_highlight(0, 0, highlight_color_);
    if (text == text_)
        return;
    text_ = text;
    relayout();
    invalidate_layout();
    mark_redraw();
}

void TextElement::set_text_by_id(core::StringView id, core::StringView text)
{
    if (id == this->id())
        set_text(text);
    Element::set_text_by_id(id, text);
}

int32_t TextElement::line_left(int32_t line_width) const
{
    switch (halign_) {
    case HAlign::CENTER:
        return (size().x - line_width) / 2;
    case HAlign::RIGHT:
        return size().x - line_width;
    default:
        return 0;
    }
}

int32_t TextElement::block_top() const
{
    switch (valign_) {
    case VAlign::VCENTER:
        return (size().y - text_size().y) / 2;
    case VAlign::BOTTOM:
        return size().y - text_size().y;
    default:
        return 0;
    }
}

void TextElement::arrange_x()
{
    // Wrapped lines follow the width, and so does the height the text asks for.
    if (wrap_ && size().x != laid_width_) {
        int32_t const height = text_size().y;
        relayout();
        if (text_size().y != height)
            invalidate_measure(Axis::Y);
    }
    for (size_t i = 0; i < child_count(); ++i) {
        Element& c = *child(i);
        if (&c == left_ || &c == right_)
            place_companion(c, &c == left_);
        else
            place_plain(c, Axis::X);
    }
}

void TextElement::place_companion(Element& companion, bool left)
{
    int32_t const width = companion.measured(Axis::X).preferred;
    int32_t const text_width = std::min(text_size().x, size().x);
    int32_t const start = position().x + line_left(text_width);
    AxisAnchor const a = companion.anchor(Axis::X);
    if (left)
        companion.set_geometry_x(clamp_extent(int64_t(start) - a.border_max - width), width);
    else
        companion.set_geometry_x(clamp_extent(int64_t(start) + text_width + a.border_min), width);
}

void TextElement::measure_x(Extent& extent)
{
    Element::measure_x(extent);
    int32_t const width = text_size().x;
    if (grow_)
        extent.preferred = std::max(extent.preferred, width);
    if (grow_min_)
        extent.minimum = std::max(extent.minimum, width);
}

void TextElement::measure_y(Extent& extent)
{
    Element::measure_y(extent);
    if (!grow_)
        return;
    int32_t const height = text_size().y;
    extent.preferred = std::max(extent.preferred, height);
    int32_t const least = wrap_ && !grow_min_ ? std::min(height, WRAPPED_MINIMUM_HEIGHT) : height;
    extent.minimum = std::max(extent.minimum, least);
}

void TextElement::set_highlight(size_t start, size_t length, Color color)
{
    start = std::min(start, text_.size());
    length = std::min(length, text_.size() - start);
    if (start == highlight_start_ && length == highlight_length_ && (length == 0 || color == highlight_color_))
        return;
    highlight_start_ = start;
    highlight_length_ = length;
    highlight_color_ = color;
    mark_redraw();
}

void TextElement::draw(RenderSurface& surface, Point origin)
{
    if (layout_ && highlight_length_ > 0 && layout_->lines().size() == 1)
        draw_highlighted(surface, origin);
    else if (layout_)
        layout_->draw(surface, origin, size(), style());
    Element::draw(surface, origin);
}

void TextElement::draw_highlighted(RenderSurface& surface, Point origin) const
{
    // Three runs side by side, each measured as the laid-out line measures its characters, so that they
    // stand where the whole line would.
    core::StringView const text = text_;
    core::StringView const runs[] = { text.substr(0, highlight_start_),
        text.substr(highlight_start_, highlight_length_), text.substr(highlight_start_ + highlight_length_) };
    int32_t const line_width = layout_->lines().front().width;
    int32_t x = origin.x + line_left(std::min(line_width, size().x));
    int32_t const right = origin.x + size().x;
    int32_t const y = origin.y + block_top();
    TextStyle run_style { color_, HAlign::LEFT, VAlign::TOP, false };
    for (size_t i = 0; i < 3 && x < right; ++i) {
        core::String const run = TextLayout::prepare(runs[i], false);
        if (run.empty())
            continue;
        int32_t const width = font_->measure(run).width;
        int32_t const box = i == 2 ? right - x : std::min(width, right - x);
        run_style.color = i == 1 ? highlight_color_ : color_;
        font_->draw_text(surface, run, { x, y }, { box, font_->height() }, run_style);
        x += width;
    }
}

} // namespace skin
