#include "LabelEditElement.h"

#include "EditElement.h"

#include <skin/NodeExceptions.h>

namespace skin {

LabelEditElement::LabelEditElement(Element* parent)
    : Element(parent)
{
}

void LabelEditElement::load(PropertiesImpl const& properties, ElementRecord record)
{
    Element::load(properties, record);
    edit_ = dynamic_cast<EditElement*>(find_child(u"#edit"));
    if (!edit_)
        throw NodeNotFound(id(), u"#edit");
    label_ = find_child(u"#text");
    if (!label_)
        throw NodeNotFound(id(), u"#text");
    edit_->set_listener(this);
    editing_ = true;
    set_editing(false);
}

void LabelEditElement::on_descendant_destroyed(Element* descendant)
{
    if (descendant == edit_)
        edit_ = nullptr;
    if (descendant == label_)
        label_ = nullptr;
}

void LabelEditElement::set_editing(bool editing)
{
    if (editing == editing_)
        return;
    editing_ = editing;
    if (label_)
        label_->set_visible(!editing);
    if (edit_) {
        edit_->set_visible(editing);
        if (editing)
            edit_->activate();
    }
}

} // namespace skin
