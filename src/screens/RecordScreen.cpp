#include "RecordScreen.h"

#include "RowTexts.h"
#include "ScreenHost.h"

#include <algorithm>
#include <document/Document.h>
#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/KeyNames.h>
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
    form_.shortcut = [this](skin::KeyEvent const& event) {
        // Enter on a focused slider would tap its middle and jump there: only the arrows move it.
        if (event.code == skin::KEY_ENTER && form_.focus_shown() && is_slider(form_.focused()))
            return true;
        KeyCommand const command = key_command(event);
        return command != KeyCommand::NONE && on_key_command(command);
    };
    form_.unhandled_key = [this](skin::KeyEvent const& event) { return slider_key(event); };
}

bool RecordScreen::slider_key(skin::KeyEvent const& event)
{
    // The slider's button takes no keys itself.
    skin::Element* focus = form_.focused();
    double const step = slider_step(event);
    double const at = focus ? slider_position(focus) : -1;
    if (step == 0 || at < 0)
        return false;
    on_slider_key(focus, std::clamp(at + step, 0.0, 1.0));
    return true;
}

bool RecordScreen::on_key_command(KeyCommand command)
{
    switch (command) {
    case KeyCommand::RENAME:
        return form_.activate(name_button_);
    case KeyCommand::MENU:
        return form_.activate(form_.find_child(u"btnMenu"));
    case KeyCommand::KEYS:
        if (show_keys_)
            show_keys_();
        return static_cast<bool>(show_keys_);
    default:
        return false;
    }
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
    name_button_->set_text_by_id(u"#text", shown_name());
}

core::String RecordScreen::shown_name() const
{
    // A name made from the start time reads in its short form, as on its row: the long one is cut at
    // 240 pixels just where the time would tell today's notes apart. As on the rows, the seconds tell
    // apart notes of one minute. The name dialog edits the whole title.
    auto const& records = document_.records();
    int32_t const index = records.find(document_.current().path);
    if (index < 0)
        return name_;
    auto const& entry = records[size_t(index)];
    auto const& words = properties_.dictionary();
    if (entry.title != name_ || !is_date_name(entry, words))
        return name_;
    Clock clock = Clock::MINUTES;
    for (size_t i = 0; i < records.size(); ++i)
        if (i != size_t(index) && same_minute(records[i].time, entry.time))
            clock = Clock::SECONDS;
    return short_date_time(entry.time, words, clock);
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
