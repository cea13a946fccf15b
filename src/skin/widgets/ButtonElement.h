#pragma once

#include "ButtonListener.h"

#include <skin/Element.h>

namespace skin {

// "button": shows one of its state children ("#normal", "#pressed", "#disabled"; a missing one falls
// back to "#normal"), is pressed by the pen or by its bound key (alone: with Ctrl or Alt held it is
// another key), and reports press changes, drags and
// clicks to its listener. A click is a release without cancel over the button.
class ButtonElement : public Element {
public:
    explicit ButtonElement(Element* parent);
    ~ButtonElement() override;

    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void on_enabled_changed(bool enabled) override;
    void on_pen_move(Point point) override;
    bool on_pen(PenEvent const& event) override;
    bool on_key(KeyEvent const& event) override;
    void on_descendant_destroyed(Element* descendant) override;

    ButtonListener* button_listener() const { return button_listener_; }
    void set_button_listener(ButtonListener* listener) { button_listener_ = listener; }
    int32_t bound_key() const { return bound_key_; }
    bool pressed() const { return pen_held_ || key_held_; }
    core::String const& text() const { return text_; }
    // The state child shown now, if any.
    Element* shown_state() const;

private:
    void press_logic(bool was_pressed, bool cancel, Point point);
    void update_visual();

    ButtonListener* button_listener_ = nullptr;
    int32_t bound_key_ = 0;
    core::String text_;
    Element* normal_ = nullptr;
    Element* pressed_ = nullptr;
    Element* disabled_ = nullptr;
    bool pen_held_ = false;
    bool key_held_ = false;
    Point last_point_;
};

} // namespace skin
