#pragma once

#include <skin/FormBinding.h>

// The screens' binding steps that the skin's helpers leave to them: a missing button, or an element of a
// tree that is not a form (a list row), is the same binding failure as a missing element.
namespace screens {

template <typename Type>
void require_button(Type*& slot, skin::Form& form, core::StringView id, skin::ButtonListener* owner)
{
    if (!skin::bind_button(slot, form, id, owner))
        throw skin::NodeNotFound(form.id(), core::String(id));
}

template <typename Type> Type* require_child(skin::Element& root, core::StringView id)
{
    auto* found = dynamic_cast<Type*>(root.find_child(id));
    if (!found)
        throw skin::NodeNotFound(root.id(), core::String(id));
    return found;
}

} // namespace screens
