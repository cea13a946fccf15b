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
//     require_button(ok_, form_, u"btnOk", this);

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

// Throws NodeNotFound (the root's id, `id`): the one way a missing element is reported.
[[noreturn]] void missing_element(Element const& root, core::StringView id);

// The descendant `id` of a root (a form, a list row). Throws NodeNotFound when there is none, or only one
// that is not of the wanted type.
template <typename Type> Type& require_child(Element& root, core::StringView id)
{
    auto* found = dynamic_cast<Type*>(root.find_child(id));
    if (!found)
        missing_element(root, id);
    return *found;
}

// Finds the descendant `id` of the form, sets its element listener (which may be none) and stores it in
// the slot. Throws NodeNotFound (the form's id, `id`) when the form has no such element, or only one that
// is not of the slot's type.
template <typename Type> void bind_element(Type*& slot, Form& form, core::StringView id, ElementListener* listener)
{
    Type& found = require_child<Type>(form, id);
    found.set_listener(listener);
    slot = &found;
}

// Finds the button (or checkbox) `id`: its button listener becomes `owner`, its element listener the
// owner's element-listener side (none when there is no owner), and it is stored in the slot. False when
// the form has no such button.
template <typename Type> bool bind_button(Type*& slot, Form& form, core::StringView id, ButtonListener* owner)
{
    auto* found = dynamic_cast<Type*>(form.find_child(id));
    if (!found || !attach_button_owner(*found, owner))
        return false;
    slot = found;
    return true;
}

// bind_button for a button the form cannot do without: a missing one throws as bind_element does.
template <typename Type> void require_button(Type*& slot, Form& form, core::StringView id, ButtonListener* owner)
{
    if (!bind_button(slot, form, id, owner))
        missing_element(form, id);
}

} // namespace skin
