#pragma once

#include <skin/Element.h>

namespace skin {

// "clip": its children are drawn only inside its own rectangle.
class ClipElement : public Element {
public:
    explicit ClipElement(Element* parent);

    void draw(RenderSurface& surface, Point origin) override;
};

} // namespace skin
