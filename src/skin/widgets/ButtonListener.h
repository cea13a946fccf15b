#pragma once

#include <skin/Point.h>

#include <cstdint>

namespace skin {

class Element;

// What a button reports: the pen point and a flag (for a click always true; for a press change true
// when the change was a cancel or the button is disabled).
struct ButtonEvent {
    Point point;
    bool flag = false;
};

// A movement while the pen holds a button: the current point and the movement since the last report.
// The listener may set `consumed` to the part of the movement it used.
struct DragEvent {
    Point point;
    Point movement;
    int32_t consumed_x = 0;
    int32_t consumed_y = 0;
};

// Bound by a form to a button (or a checkbox); not owned. `source` is the element that reports.
class ButtonListener {
public:
    virtual ~ButtonListener();
    virtual void on_click(Element* source, ButtonEvent const& event) = 0;
    virtual void on_press_changed(Element* source, ButtonEvent const& event);
    virtual void on_drag(Element* source, DragEvent& drag);
};

} // namespace skin
