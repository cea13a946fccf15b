#pragma once

#include "OkCancelDialog.h"

namespace skin {
class TextElement;
}

namespace screens {

// "FormConfirmation": a question ("text") that OK confirms.
class FormConfirmation final : public OkCancelDialog {
public:
    FormConfirmation(skin::Properties& properties, ScreenHost& host, skin::ButtonListener* owner);

    // The question, already translated.
    void set_text(core::StringView text);
    core::String const& text() const { return text_; }

private:
    void bind_own() override;

    skin::TextElement* text_element_ = nullptr;
    core::String text_;
};

} // namespace screens
