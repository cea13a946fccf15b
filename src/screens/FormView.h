#pragma once

#include "FormConfirmation.h"
#include "FormEdit.h"
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
class ProgressElement;
class Properties;
} // namespace skin

namespace screens {

class ScreenHost;

// "FormView", shown while a recording plays: who and what it is, the position and the time left, format
// and size, the output level, volume and position sliders, play and pause, renaming, and the menu "Menu"
// (delete, continue recording into it, send it by e-mail).
// Threads: main thread only.
class FormView final : public skin::ButtonListener,
                       public MenuOwner,
                       public document::DocumentListener,
                       private skin::SkinListener {
public:
    static constexpr double VOLUME_STEP = 0.1;

    FormView(skin::Properties& properties, ScreenHost& host, document::Document& document);
    ~FormView() override;

    // Shows the Document's current record, which the list has just started playing.
    void open();
    // Brings the texts and buttons up to date with the current record.
    void refresh(NameCaption caption);
    bool is_shown() const;
    void close();
    skin::Form& form() { return form_; }
    core::String const& name() const { return name_; }
    double total_seconds() const { return total_seconds_; }
    FormEdit& edit_dialog() { return edit_; }
    FormConfirmation& confirmation() { return confirmation_; }
    Menu& menu() { return menu_; }

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_press_changed(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_drag(skin::Element* source, skin::DragEvent& drag) override;
    void on_menu(Menu& menu, core::StringView id, core::StringView caption, MenuItems& items) override;
    void on_document_event(document::DocumentEvent const& event) override;

private:
    void on_reload_skin(skin::PropertiesImpl& properties) override;
    void load();
    // The position, the time left and the bars, once per frame.
    void update_values();
    void show_playing(bool playing);
    void slide(skin::Element* source, int32_t x);
    // The volume keys: the volume moves by `step`, kept within 0 to 1, and is saved.
    void change_volume(double step);

    skin::Properties& properties_;
    ScreenHost& host_;
    document::Document& document_;
    LiveForm form_;
    RecordHeader header_;

    skin::ButtonElement* close_ = nullptr;
    skin::ButtonElement* play_ = nullptr;
    skin::ButtonElement* pause_ = nullptr;
    skin::ButtonElement* menu_button_ = nullptr;
    skin::ButtonElement* name_button_ = nullptr;
    skin::ButtonElement* volume_button_ = nullptr;
    skin::ButtonElement* position_button_ = nullptr;
    skin::ProgressElement* level_ = nullptr;
    skin::ProgressElement* volume_ = nullptr;
    skin::ProgressElement* position_ = nullptr;

    FormEdit edit_;
    FormConfirmation confirmation_;
    Menu menu_;
    core::String name_;
    double total_seconds_ = 0;
};

} // namespace screens
