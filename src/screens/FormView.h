#pragma once

#include "FormConfirmation.h"
#include "FormError.h"
#include "RecordScreen.h"

#include <document/CopySaver.h>

namespace skin {
class ProgressElement;
class WaveformElement;
} // namespace skin

namespace screens {

// "FormView", shown while a recording plays: who and what it is, the position and the time left, format
// and size, the output level, volume and position sliders, play and pause, renaming, and the menu "Menu"
// (delete, continue recording into it, send it by e-mail).
// Threads: main thread only.
class FormView final : public RecordScreen {
public:
    static constexpr double VOLUME_STEP = 0.1;
    // What the skip buttons and the Left and Right keys move the playback by.
    static constexpr double SKIP_SECONDS = 10;

    FormView(skin::Properties& properties, ScreenHost& host, document::Document& document);

    // Shows the Document's current record, which the list has just started playing.
    void open();
    // Brings the texts and buttons up to date with the current record.
    void refresh(NameCaption caption);
    void close() override;
    double total_seconds() const { return total_seconds_; }
    FormConfirmation& confirmation() { return confirmation_; }
    // What a saved copy tells: where it went without a file chooser, or that it failed.
    FormError& message() { return message_; }
    document::CopySaver& copy_saver() { return copy_saver_; }
    // Stops the playback and asks whether to delete the record (the menu's "Delete", the Delete key).
    void confirm_delete();

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_press_changed(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_drag(skin::Element* source, skin::DragEvent& drag) override;
    void on_menu(Menu& menu, core::StringView id, core::StringView caption, MenuItems& items) override;
    void on_document_event(document::DocumentEvent const& event) override;

private:
    void bind_own() override;
    void after_reload() override;
    // The position, the time left and the bars, once per frame.
    void update_values() override;
    // Delete asks to delete the record; the rest as on every record screen.
    bool on_key_command(KeyCommand command) override;
    bool is_slider(skin::Element const* element) const override;
    double slider_position(skin::Element* element) const override;
    void on_slider_key(skin::Element* element, double value) override;
    void show_playing(bool playing);
    // The position slider and the waveform seek alike: only while playing.
    void slide(skin::Element* source, int32_t x);
    void show_position(double fraction);
    // The volume keys: the volume moves by `step`, kept within 0 to 1, and is saved.
    void change_volume(double step);
    // A copy saved (or not): the user hears where it went when no chooser was asked, and of a failure.
    void on_copy_saved(document::CopySaver::Result const& result);
    // Left and Right skip back and forward when no slider has the focus (a focused slider keeps them).
    bool skip_key(skin::KeyEvent const& event);

    skin::ButtonElement* close_ = nullptr;
    skin::ButtonElement* play_ = nullptr;
    skin::ButtonElement* pause_ = nullptr;
    skin::ButtonElement* menu_button_ = nullptr;
    skin::ButtonElement* volume_button_ = nullptr;
    skin::ButtonElement* position_button_ = nullptr;
    skin::ButtonElement* skip_back_ = nullptr;
    skin::ButtonElement* skip_forward_ = nullptr;
    skin::ProgressElement* level_ = nullptr;
    skin::ProgressElement* volume_ = nullptr;
    skin::ProgressElement* position_ = nullptr;
    // The skin's "waveform", where it has one: the recording's peaks, tapped or dragged to seek.
    skin::WaveformElement* waveform_ = nullptr;

    FormConfirmation confirmation_;
    FormError message_;
    document::CopySaver copy_saver_;
    double total_seconds_ = 0;
};

} // namespace screens
