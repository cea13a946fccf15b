#include "ButtonElement.h"

#include <skin/ElementListener.h>
#include <skin/InputEvents.h>
#include <skin/InputHost.h>
#include <skin/KeyNames.h>
#include <skin/PropertiesImpl.h>

namespace skin {

ButtonListener::~ButtonListener() = default;
void ButtonListener::on_press_changed(Element*, ButtonEvent const&)
{
}
void ButtonListener::on_drag(Element*, DragEvent&)
{
}

ButtonElement::ButtonElement(Element* parent)
    : Element(parent)
{
    if (InputHost* host = input_host())
        host->add_input(this);
}

ButtonElement::~ButtonElement()
{
    if (InputHost* host = input_host())
        host->remove_input(this);
}

void ButtonElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    bound_key_ = key_code_from_name(properties.lookup_string(record, u"bind_key", u""));
    text_ = properties.translate(properties.lookup_string(record, u"text", u""));
    normal_ = find_child(u"#normal");
    pressed_ = find_child(u"#pressed");
    disabled_ = find_child(u"#disabled");
    for (Element* state : { normal_, pressed_, disabled_ })
        if (state)
            state->set_listener(nullptr);
    // A button without a text of its own leaves the text its "#text" child has.
    if (!text_.empty())
        set_text_by_id(u"#text", text_);
    update_visual();
}

void ButtonElement::on_descendant_destroyed(Element* descendant)
{
    for (Element** state : { &normal_, &pressed_, &disabled_ })
        if (*state == descendant)
            *state = nullptr;
}

Element* ButtonElement::shown_state() const
{
    Element* chosen = !effectively_enabled() ? disabled_ : pressed() ? pressed_ : normal_;
    return chosen ? chosen : normal_;
}

void ButtonElement::update_visual()
{
    Element* const chosen = shown_state();
    for (Element* state : { normal_, pressed_, disabled_ })
        if (state)
            state->set_visible(state == chosen);
}

void ButtonElement::on_enabled_changed(bool enabled)
{
    Element::on_enabled_changed(enabled);
    update_visual();
}

void ButtonElement::press_logic(bool was_pressed, bool cancel, Point point)
{
    cancel = cancel || !effectively_enabled();
    bool const now = pressed();
    if (now != was_pressed) {
        if (button_listener_)
            button_listener_->on_press_changed(this, { point, cancel });
        update_visual();
    }
    if (was_pressed && !now && !cancel && hit_test(point) && button_listener_)
        button_listener_->on_click(this, { point, true });
}

bool ButtonElement::on_pen(PenEvent const& event)
{
    bool const was_pressed = pressed();
    pen_held_ = event.down != 0;
    last_point_ = event.point();
    if (pen_held_ && button_listener_) {
        DragEvent drag { last_point_, {}, 0, 0 };
        button_listener_->on_drag(this, drag);
    }
    press_logic(was_pressed, event.cancel != 0, event.point());
    return true;
}

void ButtonElement::on_pen_move(Point point)
{
    if (!pen_held_)
        return;
    DragEvent drag { point, point - last_point_, 0, 0 };
    if (button_listener_)
        button_listener_->on_drag(this, drag);
    // The point advances by the part of the movement the listener did not consume.
    last_point_ = last_point_ + (drag.movement - Point { drag.consumed_x, drag.consumed_y });
}

bool ButtonElement::on_key(KeyEvent const& event)
{
    if (bound_key_ == KEY_NONE || event.code != bound_key_)
        return false;
    // A chord with Ctrl or Alt is another command (Ctrl+Enter is no OK); a release still lets go of a
    // button the plain key holds, whatever was pressed meanwhile.
    bool const chord = (event.modifiers & (MODIFIER_CTRL | MODIFIER_ALT)) != 0;
    if (chord && (event.down || !key_held_))
        return false;
    bool const was_pressed = pressed();
    key_held_ = event.down;
    Point const centre = position() + Point { size().x / 2, size().y / 2 };
    press_logic(was_pressed, false, centre);
    return true;
}

} // namespace skin
