#pragma once

#include "Color.h"
#include "Element.h"
#include "InputHost.h"
#include "InputRouter.h"

namespace skin {

class FormStack;

// A screen's element tree: the root loaded from a top-level entry of the skin ("FormMain", ...). All pen,
// key and character input reaches its elements through it (the window calls the top form only), and it
// is painted by the form stack. There is no keyboard focus: each element decides whether a key concerns
// it.
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

    // InputHost.
    void add_input(Element* element) override { router_.add(element); }
    void remove_input(Element* element) override { router_.remove(element); }
    EditElement* active_edit() const override { return router_.active_edit(); }
    void set_active_edit(EditElement* edit) override { router_.set_active_edit(edit); }
    uint32_t input_time() const override { return input_time_; }

    std::vector<Element*> const& inputs() const { return router_.inputs(); }
    std::vector<Element*> const& captured() const { return router_.captured(); }
    Color outside_color() const { return outside_color_; }

private:
    friend class FormStack;

    InputRouter router_;
    Color outside_color_;
    uint32_t input_time_ = 0;
    // The stack the form is on, so that a form destroyed while shown leaves it rather than dangle.
    FormStack* stack_ = nullptr;
};

} // namespace skin
