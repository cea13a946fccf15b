#pragma once

#include <skin/Color.h>
#include <skin/Element.h>

namespace skin {

// "color": a rectangle of one colour; its children are not drawn.
class ColorElement : public Element {
public:
    explicit ColorElement(Element* parent);

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;

    Color color() const { return color_; }
    void set_color(Color color);

private:
    Color color_;
};

} // namespace skin
