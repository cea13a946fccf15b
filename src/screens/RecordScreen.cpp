#include "RecordScreen.h"

#include "ScreenHost.h"

#include <document/Document.h>
#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>

namespace screens {

RecordScreen::RecordScreen(
    skin::Properties& properties, ScreenHost& host, document::Document& document, core::StringView entry)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
    , document_(document)
    , form_([this] { update_values(); }, [this] { return document_.is_recording() || document_.is_playing(); })
    , edit_(properties, host, this)
    , menu_(properties, host, *this)
    , entry_(entry)
{
    document_.add_listener(this);
}

RecordScreen::~RecordScreen()
{
    document_.remove_listener(this);
    host_.form_stack().close_form(&form_);
}

void RecordScreen::load()
{
    skin::load_entry(form_, properties_, entry_);
    header_.bind(form_, properties_);
    skin::require_button(name_button_, form_, u"btnName", this);
    bind_own();
}

void RecordScreen::on_reload_skin(skin::PropertiesImpl&)
{
    load();
    after_reload();
}

void RecordScreen::show()
{
    host_.form_stack().show_form(&form_, skin::FormMode::FULL_SCREEN);
}

bool RecordScreen::is_shown() const
{
    return host_.form_stack().contains(&form_);
}

void RecordScreen::close()
{
    edit_.close();
    menu_.close();
    host_.form_stack().close_form(&form_);
}

void RecordScreen::show_name(NameCaption caption)
{
    if (caption == NameCaption::FROM_TITLE)
        name_ = document_.current().title;
    name_button_->set_text_by_id(u"#text", name_);
}

bool RecordScreen::on_name_click(skin::Element* source)
{
    if (source == name_button_) {
        edit_.set_text(name_);
        edit_.show();
    } else if (source == edit_.ok_button()) {
        name_ = edit_.text();
        on_renamed();
        show_name();
    } else {
        return false;
    }
    return true;
}

} // namespace screens
