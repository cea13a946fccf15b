#pragma once

#include "InputEvents.h"
#include "Point.h"

#include <cstdint>
#include <vector>

namespace skin {

class EditElement;
class Element;

// The input side of a root that takes input (a form, a list row): its interactive elements in the order
// they were made, the elements that hold the pen, the active edit, and the routing of pen, key and
// character events to them.
//
// Listeners called while an event is routed may destroy elements (a screen that reloads its form on a
// click): every element is looked up in the input list again before it is given anything, so an element
// that left the list is skipped, never touched.
// Threads: main thread only.
class InputRouter {
public:
    void add(Element* element);
    // Also lets go of the element if it holds the pen, and of the active edit if it is that one.
    void remove(Element* element);
    bool contains(Element const* element) const;

    std::vector<Element*> const& inputs() const { return inputs_; }
    std::vector<Element*> const& captured() const { return captured_; }
    EditElement* active_edit() const { return active_edit_; }
    void set_active_edit(EditElement* edit) { active_edit_ = edit; }

    // A release goes to the elements that hold the pen; a press while none does goes to the elements
    // under it, in order, until one takes it. Anything else is ignored. True when some element holds the
    // pen afterwards.
    bool route_pen(PenEvent const& event);
    // Moves go to the elements that hold the pen; while none does, to every element under the point.
    void route_pen_move(Point point);
    // Offered in order until one element takes it.
    bool offer_key(KeyEvent const& event) { return key_taker(event) != nullptr; }
    // The same, giving the element that took the key, or null.
    Element* key_taker(KeyEvent const& event);
    bool offer_char(char16_t character);
    // The wheel goes to the elements under the pointer, in order, until one scrolls.
    bool offer_wheel(Point point, int32_t notches);
    // Every element that holds the pen is released with cancel set, at (-1, -1): no click comes of it.
    void cancel_captured();

    // Effectively visible and enabled: only such elements are given input.
    static bool takes_input(Element const& element);
    // The release that ends a press without its effect.
    static PenEvent cancel_event();

private:
    void cancel(std::vector<Element*> const& elements);

    std::vector<Element*> inputs_;
    std::vector<Element*> captured_;
    EditElement* active_edit_ = nullptr;
};

} // namespace skin
