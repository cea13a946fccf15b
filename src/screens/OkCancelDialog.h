#pragma once

#include <skin/Form.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>

namespace skin {
class ButtonElement;
class Properties;
} // namespace skin

namespace screens {

class OkCancelDialog;
class ScreenHost;

// A dialog's form: the dialog sees keys, characters and presses before the elements do.
class DialogForm final : public skin::Form {
public:
    explicit DialogForm(OkCancelDialog& dialog)
        : dialog_(dialog)
    {
    }
    bool on_pen(skin::PenEvent const& event) override;
    bool on_key(skin::KeyEvent const& event) override;
    bool on_char(char16_t character) override;

private:
    OkCancelDialog& dialog_;
};

// A popup with "btnOk" and "btnCancel". OK is first passed to the owner's button listener, which
// compares the element with ok_button() to know which question was answered; then the dialog closes.
// Cancel only closes it.
// Threads: main thread only.
class OkCancelDialog : public skin::ButtonListener, private skin::SkinListener {
public:
    ~OkCancelDialog() override;

    void show();
    void close();
    bool is_shown() const;
    skin::Form& form() { return form_; }
    skin::ButtonElement* ok_button() const { return ok_; }
    skin::ButtonElement* cancel_button() const { return cancel_; }

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;

protected:
    OkCancelDialog(skin::Properties& properties, ScreenHost& host, core::StringView entry, skin::ButtonListener* owner);
    // Loads the form and binds the buttons, then the dialog's own elements.
    void load();
    virtual void bind_own() = 0;
    // The skin is about to rebuild the form: what the elements hold must be kept now.
    virtual void before_reload() { }
    virtual void on_shown() { }
    virtual void on_closed() { }
    // Input about to reach the form's elements; true consumes it.
    virtual bool before_pen(skin::PenEvent const&) { return false; }
    virtual bool before_key(skin::KeyEvent const&) { return false; }
    virtual bool before_char(char16_t) { return false; }

    skin::Properties& properties_;
    ScreenHost& host_;
    DialogForm form_;

private:
    friend class DialogForm;
    void on_reload_skin(skin::PropertiesImpl& properties) override;

    core::String entry_;
    skin::ButtonListener* owner_;
    skin::ButtonElement* ok_ = nullptr;
    skin::ButtonElement* cancel_ = nullptr;
};

} // namespace screens
