#pragma once

#include "FormEdit.h"
#include "KeyCommands.h"
#include "LiveForm.h"
#include "Menu.h"
#include "MenuOwner.h"
#include "RecordHeader.h"

#include <document/DocumentListener.h>
#include <skin/SkinListener.h>
#include <skin/widgets/ButtonListener.h>

namespace document {
class Document;
}

namespace skin {
class ButtonElement;
class Properties;
} // namespace skin

namespace screens {

class ScreenHost;

// What the recording and the playback screen share: a full-screen form that brings its values up to date
// in every frame, the record's head, the name the record is to take ("btnName", edited in a FormEdit),
// the screen's menu, and the Document they show and listen to.
// Threads: main thread only.
class RecordScreen : public skin::ButtonListener,
                     public MenuOwner,
                     public document::DocumentListener,
                     private skin::SkinListener {
public:
    ~RecordScreen() override;

    bool is_shown() const;
    // Closes the screen with its dialogs and menu.
    virtual void close();
    skin::Form& form() { return form_; }
    // The name the record is to take when the screen is left.
    core::String const& name() const { return name_; }
    FormEdit& edit_dialog() { return edit_; }
    Menu& menu() { return menu_; }
    // Shows the window that lists the keys (Ctrl+?); the list screen, which owns it, sets it.
    void set_keys_window(std::function<void()> show_keys) { show_keys_ = std::move(show_keys); }

protected:
    RecordScreen(skin::Properties& properties, ScreenHost& host, document::Document& document, core::StringView entry);

    // Loads the form from its skin entry and binds the head and "btnName", then the screen's own elements.
    void load();
    virtual void bind_own() = 0;
    // The form has been rebuilt for a new skin.
    virtual void after_reload() = 0;
    // The values that change while the record plays or records, once per frame.
    virtual void update_values() = 0;
    // The user confirmed a new name.
    virtual void on_renamed() { }
    // A shortcut: Ctrl+E renames, the menu key opens the menu, Ctrl+? lists the keys. True when taken.
    virtual bool on_key_command(KeyCommand command);
    // A focused slider moved by an arrow to `value` (0 to 1).
    virtual void on_slider_key(skin::Element*, double) { }
    // Arrows on a focused slider: true when they moved it.
    bool slider_key(skin::KeyEvent const& event);
    // Whether the element is the button of one of the screen's sliders.
    virtual bool is_slider(skin::Element const*) const { return false; }
    // Where a focused slider stands (0 to 1), or a negative value when the element is no slider here.
    virtual double slider_position(skin::Element*) const { return -1; }

    void show();
    // "btnName" shows the name; the name becomes the current record's title first when asked.
    void show_name(NameCaption caption = NameCaption::KEEP);
    core::String shown_name() const;
    // A click on "btnName" opens the name's editor, its OK takes the new name: true when it was either.
    bool on_name_click(skin::Element* source);

    skin::Properties& properties_;
    ScreenHost& host_;
    document::Document& document_;
    LiveForm form_;
    RecordHeader header_;
    FormEdit edit_;
    Menu menu_;
    core::String name_;

private:
    void on_reload_skin(skin::PropertiesImpl& properties) override;

    core::String entry_;
    skin::ButtonElement* name_button_ = nullptr;
    std::function<void()> show_keys_;
};

} // namespace screens
