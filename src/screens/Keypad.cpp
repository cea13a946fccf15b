#include "Keypad.h"

#include <skin/FormBinding.h>

#include <skin/widgets/ButtonElement.h>

namespace screens {

KeypadListener::~KeypadListener() = default;

Keypad::Keypad(KeypadListener& listener)
    : listener_(listener)
{
}

void Keypad::bind(skin::Form& form)
{
    skin::bind_element(container_, form, u"KeyboardContainer", nullptr);
    for (size_t i = 0; i < digits_.size(); ++i)
        skin::require_button(digits_[i], form, u"button" + core::decimal(static_cast<int64_t>(i)), this);
    skin::require_button(hash_, form, u"button_hash", this);
    skin::require_button(backspace_, form, u"button_backspace", this);
}

void Keypad::show()
{
    container_->show_animated(true);
}

void Keypad::hide(Motion motion)
{
    if (motion == Motion::AT_ONCE)
        container_->set_visible(false);
    else
        container_->show_animated(false);
}

bool Keypad::visible() const
{
    return container_->visible();
}

void Keypad::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    for (size_t i = 0; i < digits_.size(); ++i)
        if (source == digits_[i]) {
            char16_t const digit = static_cast<char16_t>(u'0' + i);
            listener_.on_char(core::StringView(&digit, 1));
            return;
        }
    if (source == hash_)
        listener_.on_char(u"#");
    else if (source == backspace_)
        listener_.on_backspace();
}

} // namespace screens
