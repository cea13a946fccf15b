#include "Keypad.h"

#include "Binding.h"

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
        require_button(digits_[i], form, u"button" + core::decimal(static_cast<int64_t>(i)), this);
    require_button(hash_, form, u"button_hash", this);
    require_button(backspace_, form, u"button_backspace", this);
}

void Keypad::show(bool visible, bool immediate)
{
    if (!visible && immediate)
        container_->set_visible(false);
    else
        container_->show_animated(visible);
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
