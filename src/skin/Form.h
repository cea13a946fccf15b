#pragma once

#include "Color.h"
#include "Element.h"
#include "InputHost.h"
#include "InputRouter.h"

namespace skin {

class FormStack;

enum class FocusMove { NEXT, PREVIOUS };

// A screen's element tree: the root loaded from a top-level entry of the skin ("FormMain", ...). All pen,
// key and character input reaches its elements through it (the window calls the top form only), and it
// is painted by the form stack.
//
// Keyboard focus: at most one of its buttons and lists holds it, none at first. Tab and Shift+Tab move
// it through them in the order they were made (wrapping at the ends), Enter presses the focused element
// and Space does when no element bound to Space takes it; the focused element sees the arrows before
// the others. A ring in the accent colour marks it from the first key that moves or uses it until the
// next pen press; the form stack's listener is told each time the focus moves.
// Threads: main thread only.
class Form : public Element, public InputHost {
public:
    Form();
    ~Form() override;

    // Reads "outside_color" besides what every element reads.
    void load(PropertiesImpl const& properties, ElementRecord record) override;
    // Hiding also releases every element that holds the pen, cancelled: a button held while its form
    // goes away does not click.
    void set_visible(bool visible) override;

    // Input entry points. The press or release carries its time; a move is given the tick count now
    // unless the caller passes the time of its window message.
    bool on_pen(PenEvent const& event) override;
    void on_pen_move(Point point) override;
    void on_pen_move(Point point, uint32_t time);
    bool on_key(KeyEvent const& event) override;
    bool on_char(char16_t character) override;
    bool on_wheel(Point point, int32_t notches) override;
    void draw(RenderSurface& surface, Point origin) override;

    // InputHost.
    void add_input(Element* element) override { router_.add(element); }
    void remove_input(Element* element) override;
    EditElement* active_edit() const override { return router_.active_edit(); }
    void set_active_edit(EditElement* edit) override { router_.set_active_edit(edit); }
    uint32_t input_time() const override { return input_time_; }

    // The element that holds the keyboard focus, or null.
    Element* focused() const;
    // Gives the focus to the element (null: to none); false, changing nothing, when it cannot take it.
    bool set_focus(Element* element);
    // The next or previous element that can take the focus, wrapping; from none, the first or the last.
    // False when none can.
    bool move_focus(FocusMove move);
    // Does what a tap on the element does (a button clicks, a list opens its selected row); false when
    // the element is not this form's or takes no input now.
    bool activate(Element* element);
    // The elements that can take the focus now, in Tab order.
    std::vector<Element*> focus_order() const;
    // Whether the ring is drawn (keys are in use and an element is focused).
    bool focus_shown() const { return focus_shown_ && focused(); }
    static bool can_focus(Element const& element);
    // The ring's rectangle in window pixels, and its corner radius: around the element, kept inside the
    // form.
    struct FocusRing {
        Point position;
        Point size;
        int32_t radius = 0;
        int32_t stroke = 0;
    };
    FocusRing focus_ring(Element const& element) const;
    static constexpr Color FOCUS_COLOR { 0x3B, 0xA8, 0xE8, 255 };

    std::vector<Element*> const& inputs() const { return router_.inputs(); }
    std::vector<Element*> const& captured() const { return router_.captured(); }
    Color outside_color() const { return outside_color_; }

private:
    friend class FormStack;

    // The keys of the focus: Tab, Enter and the arrows for the focused element; true when taken.
    bool focus_key(KeyEvent const& event);
    void show_focus();
    void notify_focus();

    InputRouter router_;
    Color outside_color_;
    uint32_t input_time_ = 0;
    Element* focused_ = nullptr;
    bool focus_shown_ = false;
    // Scale of the ring: 0 at 96 dpi, 1 at 192.
    int32_t scale_shift_ = 0;
    // The stack the form is on, so that a form destroyed while shown leaves it rather than dangle.
    FormStack* stack_ = nullptr;
};

} // namespace skin
