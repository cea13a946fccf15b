#include "FormConfirmation.h"

#include <skin/FormBinding.h>
#include <skin/widgets/TextElement.h>

namespace screens {

FormConfirmation::FormConfirmation(skin::Properties& properties, ScreenHost& host, skin::ButtonListener* owner)
    : OkCancelDialog(properties, host, u"FormConfirmation", owner)
{
    load();
}

void FormConfirmation::bind_own()
{
    skin::bind_element(text_element_, form_, u"text", nullptr);
    text_element_->set_text(text_);
}

void FormConfirmation::set_text(core::StringView text)
{
    text_ = text;
    text_element_->set_text(text_);
}

} // namespace screens
