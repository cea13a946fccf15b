#pragma once

#include "Form.h"
#include "NodeExceptions.h"

#include <core/Strings.h>

namespace skin {

// How a screen builds itself, in its constructor and again in its SkinListener's on_reload_skin: load
// the form from its skin entry, then bind the few named elements it needs to its own listeners.
//
//     load_entry(form_, properties, u"FormConfirmation");
//     bind_element(text_, form_, u"text", nullptr);
//     if (!bind_button(ok_, form_, u"btnOk", this))
//         throw NodeNotFound(form_.id(), u"btnOk");

class ButtonListener;
class ElementListener;
class PropertiesImpl;

// Rebuilds a root (a form, a list row) from the top-level entry `name`; throws NodeNotFoundInSkin when
// the skin has none.
void load_entry(Element& root, PropertiesImpl const& properties, core::StringView name);

// Makes `owner` the button listener of a button (or the click listener of a checkbox) and its
// element-listener side, if it has one, the element listener. False, binding nothing, for an element of
// another kind.
bool attach_button_owner(Element& element, ButtonListener* owner);

// Finds the descendant `id` of the form, sets its element listener (which may be none) and stores it in
// the slot. Throws NodeNotFound (the form's id, `id`) when the form has no such element, or only one that
// is not of the slot's type.
template <typename Type> void bind_element(Type*& slot, Form& form, core::StringView id, ElementListener* listener)
{
    auto* found = dynamic_cast<Type*>(form.find_child(id));
    if (!found)
        throw NodeNotFound(form.id(), core::String(id));
    found->set_listener(listener);
    slot = found;
}

// Finds the button (or checkbox) `id`: its button listener becomes `owner`, its element listener the
// owner's element-listener side (none when there is no owner), and it is stored in the slot. False when
// the form has no such button; the screen then throws NodeNotFound.
template <typename Type> bool bind_button(Type*& slot, Form& form, core::StringView id, ButtonListener* owner)
{
    auto* found = dynamic_cast<Type*>(form.find_child(id));
    if (!found || !attach_button_owner(*found, owner))
        return false;
    slot = found;
    return true;
}

} // namespace skin
