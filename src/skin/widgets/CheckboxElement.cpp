#include "CheckboxElement.h"

#include "ButtonElement.h"

#include <algorithm>
#include <skin/NodeExceptions.h>
#include <skin/PropertiesImpl.h>

namespace skin {

CheckboxElement::CheckboxElement(Element* parent)
    : Element(parent)
{
}

void CheckboxElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    int32_t const states = properties.lookup_int(record, u"states", 2);
    text_ = properties.translate(properties.lookup_string(record, u"text", u""));
    buttons_.clear();
    state_ = 0;
    for (int32_t i = 0; i < states; ++i) {
        core::String const name = u"#state_" + core::decimal(i);
        auto* button = dynamic_cast<ButtonElement*>(find_child(name));
        if (!button)
            throw NodeNotFound(id(), name);
        button->set_button_listener(this);
        button->set_listener(nullptr);
        buttons_.push_back(button);
    }
    show_state();
}

ButtonElement* CheckboxElement::state_button(int32_t state) const
{
    return state >= 0 && state < states() ? buttons_[static_cast<size_t>(state)] : nullptr;
}

void CheckboxElement::set_state(int32_t state)
{
    if (state < 0 || state >= states() || state == state_)
        return;
    state_ = state;
    show_state();
}

void CheckboxElement::show_state()
{
    for (int32_t i = 0; i < states(); ++i) {
        ButtonElement* button = buttons_[static_cast<size_t>(i)];
        button->set_visible(i == state_);
        if (!text_.empty())
            button->set_text_by_id(u"#text", i == state_ ? core::StringView(text_) : core::StringView());
    }
}

// A state button that is gone takes its state with it: the states after it move down.
void CheckboxElement::on_descendant_destroyed(Element* descendant)
{
    auto const found = std::find(buttons_.begin(), buttons_.end(), descendant);
    if (found == buttons_.end())
        return;
    buttons_.erase(found);
    state_ = std::min(state_, std::max(states() - 1, 0));
}

void CheckboxElement::on_click(Element* source, ButtonEvent const& event)
{
    if (source != state_button(state_))
        return;
    if (click_listener_)
        click_listener_->on_click(this, event);
    else
        set_state((state_ + 1) % states());
}

} // namespace skin
