#pragma once

#include "ButtonListener.h"

#include <skin/Element.h>

#include <vector>

namespace skin {

class ButtonElement;

// "checkbox": N state buttons "#state_0" .. "#state_<N-1>", of which the current one alone is shown
// and carries the text. A click on it goes to the checkbox's own listener when a form bound one (which
// then decides); otherwise the checkbox advances to the next state.
class CheckboxElement : public Element, public ButtonListener {
public:
    explicit CheckboxElement(Element* parent);

    // Throws NodeNotFound (the checkbox's id, the missing id) when a state button is missing.
    void load(PropertiesImpl const& properties, ElementRecord record) override;

    void on_descendant_destroyed(Element* descendant) override;
    void on_click(Element* source, ButtonEvent const& event) override;

    ButtonListener* click_listener() const { return click_listener_; }
    void set_click_listener(ButtonListener* listener) { click_listener_ = listener; }
    int32_t states() const { return static_cast<int32_t>(buttons_.size()); }
    int32_t state() const { return state_; }
    // Shows state `state` (ignored outside 0 .. states - 1) and moves the text to it.
    void set_state(int32_t state);
    ButtonElement* state_button(int32_t state) const;
    core::String const& text() const { return text_; }

private:
    void show_state();

    ButtonListener* click_listener_ = nullptr;
    core::String text_;
    int32_t state_ = 0;
    std::vector<ButtonElement*> buttons_;
};

} // namespace skin
