#include "FormError.h"

#include "ScreenHost.h"

#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/KeyNames.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/TextElement.h>

namespace screens {

FormError::FormError(skin::Properties& properties, ScreenHost& host)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
{
    form_.unhandled_key = [this](skin::KeyEvent const& event) {
        if (event.code != skin::KEY_ESC)
            return false;
        if (event.down && event.first)
            close();
        return true;
    };
    load();
}

FormError::~FormError()
{
    close();
}

void FormError::load()
{
    skin::load_entry(form_, properties_, u"FormError");
    skin::bind_element(text_element_, form_, u"text", nullptr);
    skin::require_button(close_, form_, u"btnClose", this);
    text_element_->set_text(text_);
}

void FormError::on_reload_skin(skin::PropertiesImpl&)
{
    load();
}

void FormError::show(core::StringView text)
{
    text_ = text;
    text_element_->set_text(text_);
    host_.form_stack().show_form(&form_, skin::FormMode::POPUP);
}

void FormError::close()
{
    host_.form_stack().close_form(&form_);
}

bool FormError::is_shown() const
{
    return host_.form_stack().contains(&form_);
}

void FormError::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (source == close_)
        close();
}

} // namespace screens
