#include "ColorElement.h"

#include <skin/Drawing.h>
#include <skin/PropertiesImpl.h>

namespace skin {

ColorElement::ColorElement(Element* parent)
    : Element(parent)
{
}

void ColorElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    color_ = properties.lookup_color(record, u"color", Color {});
}

void ColorElement::set_color(Color color)
{
    if (color == color_)
        return;
    color_ = color;
    mark_redraw();
}

void ColorElement::draw(RenderSurface& surface, Point origin)
{
    fill(surface, origin, size(), color_);
}

} // namespace skin
