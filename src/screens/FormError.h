#pragma once

#include "LiveForm.h"

#include <skin/Form.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>

namespace skin {
class ButtonElement;
class Properties;
class TextElement;
} // namespace skin

namespace screens {

class ScreenHost;

// "FormError": an error message ("text") shown as a popup until "btnClose" is pressed; Escape closes it
// too.
// Threads: main thread only.
class FormError final : public skin::ButtonListener, private skin::SkinListener {
public:
    FormError(skin::Properties& properties, ScreenHost& host);
    ~FormError() override;

    // Shows the message, already translated.
    void show(core::StringView text);
    void close();
    bool is_shown() const;
    core::String const& text() const { return text_; }
    skin::Form& form() { return form_; }

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;

private:
    void on_reload_skin(skin::PropertiesImpl& properties) override;
    void load();

    skin::Properties& properties_;
    ScreenHost& host_;
    ScreenForm form_;
    skin::TextElement* text_element_ = nullptr;
    skin::ButtonElement* close_ = nullptr;
    core::String text_;
};

} // namespace screens
