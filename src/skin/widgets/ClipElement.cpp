#include "ClipElement.h"

namespace skin {

ClipElement::ClipElement(Element* parent)
    : Element(parent)
{
}

void ClipElement::draw(RenderSurface& surface, Point origin)
{
    ClipGuard const clip(surface, origin, size());
    Element::draw(surface, origin);
}

} // namespace skin
