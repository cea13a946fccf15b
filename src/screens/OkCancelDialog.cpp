#include "OkCancelDialog.h"

#include "ScreenHost.h"

#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>

namespace screens {

bool DialogForm::on_pen(skin::PenEvent const& event)
{
    return dialog_.before_pen(event) || skin::Form::on_pen(event);
}

bool DialogForm::on_key(skin::KeyEvent const& event)
{
    return dialog_.before_key(event) || skin::Form::on_key(event);
}

bool DialogForm::on_char(char16_t character)
{
    return dialog_.before_char(character) || skin::Form::on_char(character);
}

OkCancelDialog::OkCancelDialog(
    skin::Properties& properties, ScreenHost& host, core::StringView entry, skin::ButtonListener* owner)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
    , form_(*this)
    , entry_(entry)
    , owner_(owner)
{
}

OkCancelDialog::~OkCancelDialog()
{
    host_.form_stack().close_form(&form_);
}

void OkCancelDialog::load()
{
    skin::load_entry(form_, properties_, entry_);
    skin::require_button(ok_, form_, u"btnOk", this);
    skin::require_button(cancel_, form_, u"btnCancel", this);
    bind_own();
}

void OkCancelDialog::on_reload_skin(skin::PropertiesImpl&)
{
    before_reload();
    load();
}

void OkCancelDialog::show()
{
    host_.form_stack().show_form(&form_, skin::FormMode::POPUP);
    on_shown();
}

void OkCancelDialog::close()
{
    if (host_.form_stack().close_form(&form_))
        on_closed();
}

bool OkCancelDialog::is_shown() const
{
    return host_.form_stack().contains(&form_);
}

void OkCancelDialog::on_click(skin::Element* source, skin::ButtonEvent const& event)
{
    if (source == ok_) {
        if (owner_)
            owner_->on_click(source, event);
        close();
    } else if (source == cancel_) {
        close();
    }
}

} // namespace screens
