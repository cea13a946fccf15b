#pragma once

#include <skin/Color.h>
#include <skin/Element.h>
#include <skin/FontRep.h>
#include <skin/TextStyle.h>

namespace skin {

// "oldtext": the simpler text, drawn whole with one text call in its rectangle (word-broken with
// "wrap"). With "grow" it asks for the text's extent without wrapping, measured once per text.
class OldTextElement : public Element {
public:
    explicit OldTextElement(Element* parent);

    void set_text_by_id(core::StringView id, core::StringView text) override;
    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;
    void set_text(core::StringView text);

    core::String const& text() const { return text_; }
    TextStyle style() const { return { color_, halign_, valign_, wrap_ }; }
    Point text_extent() const { return extent_; }

private:
    FontHandle font_;
    core::String text_;
    bool grow_ = false;
    Color color_;
    HAlign halign_ = HAlign::CENTER;
    VAlign valign_ = VAlign::VCENTER;
    bool wrap_ = false;
    Point extent_;
};

} // namespace skin
