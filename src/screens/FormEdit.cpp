#include "FormEdit.h"

#include "ScreenHost.h"

#include <skin/FormBinding.h>
#include <skin/InputEvents.h>
#include <skin/KeyNames.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/EditElement.h>

namespace screens {

FormEdit::FormEdit(skin::Properties& properties, ScreenHost& host, skin::ButtonListener* owner)
    : OkCancelDialog(properties, host, u"FormEdit", owner)
{
    load();
}

void FormEdit::before_reload()
{
    kept_ = edit_->text();
}

void FormEdit::bind_own()
{
    core::String const kept = std::move(kept_);
    kept_.clear();
    skin::bind_element(edit_, form_, u"edit", nullptr);
    // The selection is shown in the skin's colour for marked text.
    selection_color_ = properties_.lookup_color(properties_.find_entry(u"filtered_color"), u"color", skin::Color {});
    edit_->set_text(kept);
    edit_->set_caret(kept.size());
    select_all(selected_all_);
    if (is_shown())
        on_shown();
}

void FormEdit::set_text(core::StringView text)
{
    edit_->set_text(text);
    edit_->set_caret(text.size());
    select_all(true);
}

core::String FormEdit::text() const
{
    // A name is one line: line breaks and tabs that reached the edit become blanks.
    core::String text = edit_->text();
    for (char16_t& c : text)
        if (c < u' ')
            c = u' ';
    return text;
}

void FormEdit::select_all(bool on)
{
    selected_all_ = on && !edit_->text().empty();
    edit_->set_highlight(0, selected_all_ ? edit_->text().size() : 0, selection_color_);
}

void FormEdit::on_shown()
{
    edit_->activate();
    host_.set_edit(edit_);
}

void FormEdit::on_closed()
{
    host_.set_edit(nullptr);
}

bool FormEdit::before_pen(skin::PenEvent const& event)
{
    if (event.down)
        select_all(false);
    return false;
}

bool FormEdit::before_key(skin::KeyEvent const& event)
{
    // Enter ends no line in a name: it confirms the name, as OK does, unless the keys put the focus on
    // a button, which it then presses. Ctrl+Enter and the like do nothing.
    if (event.code == skin::KEY_ENTER) {
        bool const chord = (event.modifiers & (skin::MODIFIER_CTRL | skin::MODIFIER_ALT)) != 0;
        if (!chord && form_.focus_shown())
            return false;
        if (event.down && event.first && is_shown() && !chord)
            on_click(ok_button(), { ok_button()->position(), true });
        return true;
    }
    if (!event.down)
        return false;
    if (!selected_all_)
        return false;
    if (event.code == skin::KEY_BACKSPACE || event.code == skin::KEY_DEL) {
        edit_->set_text(u"");
        edit_->set_caret(0);
        select_all(false);
        return true;
    }
    if (event.code == skin::KEY_LEFT || event.code == skin::KEY_RIGHT || event.code == skin::KEY_HOME
        || event.code == skin::KEY_END)
        select_all(false);
    return false;
}

bool FormEdit::before_char(char16_t character)
{
    if (character == u'\n' || character == u'\r')
        return true;
    if (selected_all_ && character >= u' ') {
        edit_->set_text(u"");
        edit_->set_caret(0);
        select_all(false);
    }
    return false;
}

} // namespace screens
