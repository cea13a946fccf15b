#pragma once

#include <skin/Color.h>
#include <skin/Element.h>
#include <skin/FontRep.h>
#include <skin/TextLayout.h>
#include <skin/TextStyle.h>

#include <optional>

namespace skin {

// "text": a text laid out in lines (one line, or wrapped to the element's width) and placed by its
// alignment. With "grow" the element asks for the text's extent. Its direct children "#left" and
// "#right" are companions (an icon, a mark) kept beside the text itself: right next to its left and
// right ends, wherever the alignment puts them.
class TextElement : public Element {
public:
    explicit TextElement(Element* parent);

    void set_text_by_id(core::StringView id, core::StringView text) override;
    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;
    void arrange_x() override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;
    void on_descendant_destroyed(Element* descendant) override;
    // Replaces the text (as it stands: no translation), lays it out again and invalidates measures. Any
    // highlight goes.
    virtual void set_text(core::StringView text);
    // Draws `length` characters from `start` in `color` and the rest in the element's own colour (the
    // part of a list row's text that a filter matched). Only a text of one line shows it; a length of 0
    // draws the text whole.
    void set_highlight(size_t start, size_t length, Color color);
    size_t highlight_start() const { return highlight_start_; }
    size_t highlight_length() const { return highlight_length_; }
    Color highlight_color() const { return highlight_color_; }

    core::String const& text() const { return text_; }
    FontHandle const& font() const { return font_; }
    TextStyle style() const { return { color_, halign_, valign_, wrap_ }; }
    bool grow() const { return grow_; }
    bool grow_min() const { return grow_min_; }
    // The extent of the laid-out lines.
    Point text_size() const;
    // The laid-out lines (none before the element was loaded).
    std::vector<TextLayout::Line> const& lines() const;

protected:
    // Lays the text out for the current width (unbounded while the element has none).
    void relayout();
    // Where a line of this width starts inside the element, by the horizontal alignment.
    int32_t line_left(int32_t line_width) const;
    // The top of the block of lines inside the element, by the vertical alignment.
    int32_t block_top() const;

private:
    void place_companion(Element& companion, bool left);
    void draw_highlighted(RenderSurface& surface, Point origin) const;

    FontHandle font_;
    core::String text_;
    bool grow_ = false;
    bool grow_min_ = false;
    bool wrap_ = false;
    Color color_;
    HAlign halign_ = HAlign::CENTER;
    VAlign valign_ = VAlign::VCENTER;
    Element* left_ = nullptr;
    Element* right_ = nullptr;
    std::optional<TextLayout> layout_;
    int32_t laid_width_ = 0;
    size_t highlight_start_ = 0;
    size_t highlight_length_ = 0;
    Color highlight_color_;
};

// The alignment of a skin name; `justify` says whether "JUSTIFY" is one. Other names give the fallback.
HAlign halign_from_name(core::StringView name, bool justify, HAlign fallback);
VAlign valign_from_name(core::StringView name, VAlign fallback);

} // namespace skin
