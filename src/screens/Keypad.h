#pragma once

#include <core/Strings.h>
#include <skin/widgets/ButtonListener.h>

#include <array>

namespace skin {
class ButtonElement;
class Form;
} // namespace skin

namespace screens {

// Told what the keypad types.
class KeypadListener {
public:
    virtual ~KeypadListener();
    // One character: "0" to "9" or "#".
    virtual void on_char(core::StringView text) = 0;
    virtual void on_backspace() = 0;
};

// The keypad inside a form: the element "KeyboardContainer" with the buttons "button0" to "button9",
// "button_hash" and "button_backspace".
// Threads: main thread only.
class Keypad final : public skin::ButtonListener {
public:
    explicit Keypad(KeypadListener& listener);

    // Binds the keypad of the form (again after a skin reload).
    void bind(skin::Form& form);
    // How the keypad goes away: through the container's animation, or at once.
    enum class Motion { ANIMATED, AT_ONCE };

    // Shows the container through its animation.
    void show();
    void hide(Motion motion = Motion::ANIMATED);
    bool visible() const;
    skin::Element* container() const { return container_; }

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;

private:
    KeypadListener& listener_;
    skin::Element* container_ = nullptr;
    std::array<skin::ButtonElement*, 10> digits_ {};
    skin::ButtonElement* hash_ = nullptr;
    skin::ButtonElement* backspace_ = nullptr;
};

} // namespace screens
