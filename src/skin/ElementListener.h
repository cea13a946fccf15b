#pragma once

#include <cstdint>

namespace skin {

class Element;

// Told by an element's geometry setters when its size changes on an axis; a form binds one to the
// elements whose size its screen follows. Not owned by the element.
class ElementListener {
public:
    virtual ~ElementListener();
    virtual void on_width_changed(Element* element, int32_t width);
    virtual void on_height_changed(Element* element, int32_t height);
};

} // namespace skin
