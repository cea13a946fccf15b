#pragma once

#include <skin/Element.h>
#include <skin/ElementListener.h>

namespace skin {

class EditElement;

// "label_edit": a label ("#text") that turns into an edit ("#edit") while the screen edits it. The edit
// reports to the label-edit. The label shows at first.
class LabelEditElement : public Element, public ElementListener {
public:
    explicit LabelEditElement(Element* parent);

    // Throws NodeNotFound (the element's id, the missing id) without "#edit" (an edit) or "#text".
    void load(PropertiesImpl const& properties, ElementRecord record) override;
    void on_descendant_destroyed(Element* descendant) override;

    EditElement* edit() const { return edit_; }
    Element* label() const { return label_; }
    bool editing() const { return editing_; }
    // Shows the edit (and makes it the active one) or the label again.
    void set_editing(bool editing);

private:
    EditElement* edit_ = nullptr;
    Element* label_ = nullptr;
    bool editing_ = false;
};

} // namespace skin
