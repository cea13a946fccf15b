#include "FormRecording.h"

#include <platform/ticks.h>
#include <skin/widgets/TextElement.h>

#include "ScreenHost.h"
#include "ScreenTexts.h"

#include <algorithm>
#include <document/Document.h>
#include <os/FileInfo.h>
#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/WaveformElement.h>

namespace screens {

using document::DocumentEvent;

FormRecording::FormRecording(skin::Properties& properties, ScreenHost& host, document::Document& document)
    : RecordScreen(properties, host, document, u"FormRecording")
    , confirmation_(properties, host, this)
{
    // The second press of a double tap on the record button would land on this screen's buttons.
    form_.before_pen = [this](skin::PenEvent const& event) {
        return event.down && opened_at_ != 0 && static_cast<int32_t>(event.time - opened_at_) < SECOND_PRESS_MS;
    };
    load();
    refresh(NameCaption::FROM_TITLE);
}

void FormRecording::bind_own()
{
    skin::require_button(close_, form_, u"btnClose", this);
    skin::require_button(pause_, form_, u"btnPause", this);
    skin::require_button(resume_, form_, u"btnResume", this);
    skin::require_button(boost_, form_, u"btnBoost", this);
    boost_on_ = &skin::require_child<skin::Element>(*boost_, u"BoostOn");
    boost_off_ = &skin::require_child<skin::Element>(*boost_, u"BoostOff");
    skin::require_button(speaker_on_, form_, u"btnSpeakerOn", this);
    skin::require_button(speaker_off_, form_, u"btnSpeakerOff", this);
    skin::require_button(vas_, form_, u"btnVAS", this);
    skin::bind_element(level_, form_, u"pbLevel", nullptr);
    skin::bind_element(vas_level_, form_, u"pbVAS", nullptr);
    menu_button_ = nullptr;
    skin::bind_button(menu_button_, form_, u"btnMenu", this);
    // Optional: a skin made before waveforms records as it did.
    waveform_ = dynamic_cast<skin::WaveformElement*>(form_.find_child(u"waveform"));
    paused_word_ = dynamic_cast<skin::TextElement*>(form_.find_child(u"frmPaused"));
}

void FormRecording::after_reload()
{
    refresh(NameCaption::KEEP);
}

void FormRecording::open(RecordingStart start)
{
    before_seconds_ = start == RecordingStart::CONTINUED ? document_.current_duration() : 0;
    renamed_ = false;
    // The screen below got the tap that led here, if a tap did: its time starts the guard.
    skin::Form const* below = host_.form_stack().top();
    opened_at_ = below ? below->input_time() : 0;
    wave_bars_ = 0;
    wave_peak_ = 0;
    if (waveform_)
        waveform_->clear();
    refresh(NameCaption::FROM_TITLE);
    update_values();
    show();
}

void FormRecording::refresh(NameCaption caption)
{
    document::RecordInfo const& record = document_.current();
    header_.show_record(record);
    header_.show_elapsed(0);
    show_pause();
    boost_->set_text_by_id(u"#text", properties_.translate(u"Boost"));
    bool const boosted = document_.settings().boost != u"BoostOff";
    boost_on_->set_visible(boosted);
    boost_off_->set_visible(!boosted);
    vas_level_->set_value(document_.settings().vas_level);
    show_speaker();
    show_name(caption);
}

void FormRecording::update_values()
{
    document::RecordInfo const& record = document_.current();
    if (!document_.is_recording()) {
        header_.show_size(os::FileInfo(record.path).size());
        return;
    }
    header_.show_times(before_seconds_ + document_.recorded_seconds(),
        seconds_left(document_.free_bytes_for_current(), record.bit_rate));
    // Paused, the time blinks once a second: a still one reads as a recording that runs.
    header_.show_elapsed_lit(!document_.is_paused() || platform::tick_count() / 500 % 2 == 0);
    // Again at every frame: a window resized to landscape takes the word's line away.
    show_pause();
    level_->set_value(document_.level());
    feed_waveform();
    header_.show_size(static_cast<uint64_t>(document_.recording_size()));
}

void FormRecording::feed_waveform()
{
    if (!waveform_)
        return;
    double const level = document_.level();
    wave_peak_ = std::max(wave_peak_, level);
    // Paused, no time is recorded and the picture stands still.
    auto const due = static_cast<int64_t>(document_.recorded_seconds() / WAVE_BAR_SECONDS);
    for (; wave_bars_ < due; ++wave_bars_) {
        waveform_->push_level(wave_peak_);
        wave_peak_ = level;
    }
}

void FormRecording::show_pause()
{
    bool const paused = document_.is_paused();
    pause_->set_visible(!paused);
    resume_->set_visible(paused);
    core::String const said = paused ? properties_.translate(u"skin_Paused") : core::String();
    // Blanked rather than hidden, so that nothing below it moves.
    if (paused_word_ && paused_word_->text() != said)
        paused_word_->set_text(said);
    // Where the layout leaves the word no line of its own (the smallest landscape screens), the format's
    // line says it instead.
    bool const room = paused_word_ && paused_word_->size().y >= paused_word_->text_size().y;
    header_.show_notice(room ? core::String() : said,
        paused_word_ ? std::optional<skin::Color>(paused_word_->style().color) : std::optional<skin::Color>());
}

void FormRecording::show_speaker()
{
    bool const talking = document_.in_call();
    speaker_on_->set_visible(talking && !document_.speaker_on());
    speaker_off_->set_visible(talking && document_.speaker_on());
}

void FormRecording::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (on_name_click(source))
        return;
    if (source == close_) {
        core::String const name = name_;
        renamed_ = false;
        document_.stop();
        document_.rename(name);
    } else if (source == pause_ || source == resume_) {
        document_.pause(source == pause_);
        show_pause();
    } else if (source == boost_) {
        menu_.open(u"Boost", u"", PageOpening::SHOW_MENU);
    } else if (source != nullptr && source == menu_button_) {
        menu_.open(u"Menu", u"", PageOpening::SHOW_MENU);
    } else if (source == confirmation_.ok_button()) {
        document_.discard_current();
    } else if (source == speaker_on_ || source == speaker_off_) {
        document_.set_speaker(source == speaker_on_);
        document_.phone_control().set_speakerphone(source == speaker_on_);
        document_.save_settings();
    }
}

void FormRecording::on_drag(skin::Element* source, skin::DragEvent& drag)
{
    if (source != vas_)
        return;
    double const value = slider_value(drag.point.x, vas_->position().x, vas_->size().x);
    vas_level_->set_value(value);
    document_.set_vas_level(value);
}

bool FormRecording::on_key_command(KeyCommand command)
{
    if (command == KeyCommand::RECORD)
        return form_.activate(close_);
    // No single key ends a recording: Delete is no command here.
    return command != KeyCommand::DELETE && RecordScreen::on_key_command(command);
}

bool FormRecording::is_slider(skin::Element const* element) const
{
    return element && element == vas_;
}

double FormRecording::slider_position(skin::Element* element) const
{
    return element == vas_ ? document_.settings().vas_level : -1;
}

void FormRecording::on_slider_key(skin::Element* element, double value)
{
    if (element != vas_)
        return;
    vas_level_->set_value(value);
    document_.set_vas_level(value);
    document_.save_settings();
}

void FormRecording::on_press_changed(skin::Element* source, skin::ButtonEvent const&)
{
    if (source == vas_ && !vas_->pressed())
        document_.save_settings();
}

void FormRecording::on_menu(Menu&, core::StringView id, core::StringView, MenuItems& items)
{
    if (id == u"Menu") {
        items.emplace_back(u"Boost");
        items.emplace_back(u"Discard");
        items.emplace_back(u"Cancel");
        return;
    }
    if (id == u"Boost") {
        append_boost_items(items, document_.settings().boost);
        items.emplace_back(u"Cancel");
        return;
    }
    if (id == u"Discard") {
        confirm_discard();
        return;
    }
    for (core::StringView name : document::BOOST_NAMES)
        if (id == name) {
            document_.set_boost(id);
            document_.save_settings();
            refresh(NameCaption::KEEP);
            return;
        }
}

void FormRecording::confirm_discard()
{
    // Stopped first, so that nothing more is written while the question waits; the screen leaves on the
    // stop as it always does, and the question is asked over the list. Cancel keeps the recording.
    document_.stop();
    confirmation_.set_text(properties_.translate(u"Confirm_discard"));
    confirmation_.show();
}

void FormRecording::on_document_event(DocumentEvent const& event)
{
    switch (event.code) {
    case DocumentEvent::PAUSE_CHANGED:
        show_pause();
        break;
    case DocumentEvent::STOPPED:
        if (!is_shown())
            break;
        close();
        // A recording stopped by other means (the call ended, an error, the program's exit) still takes
        // the name the user gave it.
        if (renamed_) {
            renamed_ = false;
            document_.rename(name_);
        }
        break;
    case DocumentEvent::PHONE_STATE_CHANGED:
        show_speaker();
        break;
    default:
        break;
    }
}

} // namespace screens
