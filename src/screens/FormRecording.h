#pragma once

#include "FormConfirmation.h"
#include "RecordScreen.h"

namespace skin {
class ProgressElement;
class WaveformElement;
class TextElement;
} // namespace skin

namespace screens {

// How the recording the screen shows began: a new file, or more recorded into the current one.
enum class RecordingStart { NEW, CONTINUED };

// "FormRecording", shown while a recording runs: who is recorded, the elapsed time, the time left on the
// storage, the format, the size and the input level; pause and resume, the boost menu, the speakerphone
// during a talking call, the voice-activation threshold slider, renaming and stop. The new name is given
// to the file when the recording stops.
// Threads: main thread only.
class FormRecording final : public RecordScreen {
public:
    // A press this soon after the tap that opened the screen is ignored: the second half of a double tap.
    static constexpr int32_t SECOND_PRESS_MS = 400;
    // Recorded seconds per bar of the scrolling waveform.
    static constexpr double WAVE_BAR_SECONDS = 0.1;

    FormRecording(skin::Properties& properties, ScreenHost& host, document::Document& document);

    // Shows the recording the Document has just started, or continued into its current file.
    void open(RecordingStart start);
    // Brings the texts and buttons up to date with the Document.
    void refresh(NameCaption caption);

    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_press_changed(skin::Element* source, skin::ButtonEvent const& event) override;
    void on_drag(skin::Element* source, skin::DragEvent& drag) override;
    void on_menu(Menu& menu, core::StringView id, core::StringView caption, MenuItems& items) override;
    void on_document_event(document::DocumentEvent const& event) override;

    // The question before a stopped recording is thrown away (the menu's "Discard").
    FormConfirmation& confirmation() { return confirmation_; }
    // Stops the recording and asks whether to throw it away; the screen returns to the list.
    void confirm_discard();

private:
    // Ctrl+R stops the recording as its stop button does; Delete and the like do nothing here.
    bool on_key_command(KeyCommand command) override;
    bool is_slider(skin::Element const* element) const override;
    double slider_position(skin::Element* element) const override;
    void on_slider_key(skin::Element* element, double value) override;

    void bind_own() override;
    void after_reload() override;
    // The values that change while the recording runs, once per frame.
    void update_values() override;
    void on_renamed() override { renamed_ = true; }
    void show_pause();
    void show_speaker();
    // One bar per WAVE_BAR_SECONDS recorded, each the loudest level the frames between saw.
    void feed_waveform();

    skin::ButtonElement* close_ = nullptr;
    skin::ButtonElement* menu_button_ = nullptr; // a skin may have none: the menu key still opens it
    skin::ButtonElement* pause_ = nullptr;
    skin::ButtonElement* resume_ = nullptr;
    skin::ButtonElement* boost_ = nullptr;
    skin::Element* boost_on_ = nullptr;
    skin::Element* boost_off_ = nullptr;
    skin::ButtonElement* speaker_on_ = nullptr;
    skin::ButtonElement* speaker_off_ = nullptr;
    skin::ButtonElement* vas_ = nullptr;
    skin::ProgressElement* level_ = nullptr;
    skin::ProgressElement* vas_level_ = nullptr;
    // The skin's "waveform", where it has one.
    skin::WaveformElement* waveform_ = nullptr;
    skin::TextElement* paused_word_ = nullptr; // optional: "Paused" in a line of its own
    int64_t wave_bars_ = 0;
    double wave_peak_ = 0;

    FormConfirmation confirmation_;
    // The user gave a new name that the file has not taken yet.
    bool renamed_ = false;
    // Seconds the file held before the current run (a continued recording).
    double before_seconds_ = 0;
    // When the input that opened the screen reached the screen below it (the tap on the record button).
    uint32_t opened_at_ = 0;
};

} // namespace screens
