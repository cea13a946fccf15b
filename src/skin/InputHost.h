#pragma once

#include <cstdint>

namespace skin {

class Element;
class EditElement;

// The root of an element tree that takes input (a form): it keeps the list of its interactive
// elements, in the order they were made, and the one edit that takes keys and characters. Interactive
// elements join the list of their tree's root in their constructor and leave it in their destructor;
// a tree whose root is no InputHost has no input list.
// The class that implements this interface must destroy its element tree in its own destructor (for
// example with Element::clear_children), while it is still an InputHost for the leaving elements.
// Threads: main thread only.
class InputHost {
public:
    virtual ~InputHost();
    // Appends to the input list.
    virtual void add_input(Element* element) = 0;
    virtual void remove_input(Element* element) = 0;
    virtual EditElement* active_edit() const = 0;
    // Null: no edit is active.
    virtual void set_active_edit(EditElement* edit) = 0;
    // The tick count (milliseconds) of the pen event being delivered; pen moves carry no time of their
    // own, so an element that measures speed asks its host.
    virtual uint32_t input_time() const = 0;
};

} // namespace skin
