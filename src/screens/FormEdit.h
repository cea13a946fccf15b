#pragma once

#include "OkCancelDialog.h"

#include <skin/Color.h>

namespace skin {
class EditElement;
}

namespace screens {

// "FormEdit": one line of text to edit (a recording's name). The text it is given is selected whole, so
// that the first character typed replaces it; a press or a caret key keeps it and ends the selection.
// While shown, the window's text input goes to its "edit".
class FormEdit final : public OkCancelDialog {
public:
    FormEdit(skin::Properties& properties, ScreenHost& host, skin::ButtonListener* owner);

    // The text, selected whole.
    void set_text(core::StringView text);
    // The text as edited, on one line.
    core::String text() const;
    bool selected_all() const { return selected_all_; }
    skin::EditElement& edit() const { return *edit_; }

private:
    void bind_own() override;
    void before_reload() override;
    void on_shown() override;
    void on_closed() override;
    bool before_pen(skin::PenEvent const& event) override;
    bool before_key(skin::KeyEvent const& event) override;
    bool before_char(char16_t character) override;
    void select_all(bool on);

    skin::EditElement* edit_ = nullptr;
    skin::Color selection_color_;
    // The text over a skin reload.
    core::String kept_;
    bool selected_all_ = false;
};

} // namespace screens
