#include "FormBinding.h"

#include "ElementListener.h"
#include "PropertiesImpl.h"
#include "widgets/ButtonElement.h"
#include "widgets/CheckboxElement.h"

namespace skin {

void load_entry(Element& root, PropertiesImpl const& properties, core::StringView name)
{
    if (!root.reload_from(properties, name))
        throw NodeNotFoundInSkin(core::String(name));
}

void missing_element(Element const& root, core::StringView id)
{
    throw NodeNotFound(root.id(), core::String(id));
}

bool attach_button_owner(Element& element, ButtonListener* owner)
{
    if (auto* button = dynamic_cast<ButtonElement*>(&element))
        button->set_button_listener(owner);
    else if (auto* checkbox = dynamic_cast<CheckboxElement*>(&element))
        checkbox->set_click_listener(owner);
    else
        return false;
    element.set_listener(dynamic_cast<ElementListener*>(owner));
    return true;
}

} // namespace skin
