#include "FormView.h"

#include "ScreenHost.h"
#include "ScreenTexts.h"

#include <algorithm>
#include <document/Document.h>
#include <os/FileInfo.h>
#include <os/Paths.h>
#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/KeyNames.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/WaveformElement.h>

namespace screens {

using document::DocumentEvent;

FormView::FormView(skin::Properties& properties, ScreenHost& host, document::Document& document)
    : RecordScreen(properties, host, document, u"FormView")
    , confirmation_(properties, host, this)
    , message_(properties, host)
    , copy_saver_([this](document::CopySaver::Result const& result) { on_copy_saved(result); })
{
    // F6 and F7, the volume keys, move the volume as the slider does.
    form_.unhandled_key = [this](skin::KeyEvent const& event) {
        if (event.code != skin::KEY_VOLUME_UP && event.code != skin::KEY_VOLUME_DOWN)
            return slider_key(event) || skip_key(event);
        if (event.down)
            change_volume(event.code == skin::KEY_VOLUME_UP ? VOLUME_STEP : -VOLUME_STEP);
        return true;
    };
    load();
}

void FormView::bind_own()
{
    skin::require_button(close_, form_, u"btnClose", this);
    skin::require_button(play_, form_, u"btnPlay", this);
    skin::require_button(pause_, form_, u"btnPause", this);
    skin::require_button(menu_button_, form_, u"btnMenu", this);
    skin::require_button(volume_button_, form_, u"btnVolume", this);
    skin::require_button(position_button_, form_, u"btnPosition", this);
    // Skins made before skipping existed have no such buttons; the keys skip all the same.
    skip_back_ = skip_forward_ = nullptr;
    skin::bind_button(skip_back_, form_, u"btnSkipBack", this);
    skin::bind_button(skip_forward_, form_, u"btnSkipForward", this);
    skin::bind_element(level_, form_, u"pbLevel", nullptr);
    skin::bind_element(volume_, form_, u"pbVolume", nullptr);
    skin::bind_element(position_, form_, u"pbPosition", nullptr);
    // Optional: a skin made before waveforms plays as it did.
    waveform_ = dynamic_cast<skin::WaveformElement*>(form_.find_child(u"waveform"));
    if (waveform_)
        waveform_->set_seek_listener(this);
}

void FormView::after_reload()
{
    refresh(NameCaption::KEEP);
    update_values();
}

void FormView::open()
{
    refresh(NameCaption::FROM_TITLE);
    update_values();
    show();
}

void FormView::close()
{
    document_.waveform_peaks().close();
    confirmation_.close();
    message_.close();
    RecordScreen::close();
}

void FormView::refresh(NameCaption caption)
{
    document::RecordInfo const& record = document_.current();
    total_seconds_ = document_.current_duration();
    header_.show_record(record);
    header_.show_times(0, total_seconds_);
    header_.show_size(os::FileInfo(record.path).size());
    show_playing(document_.is_playing() && !document_.is_paused());
    volume_->set_value(document_.settings().volume);
    show_name(caption);
    if (waveform_) {
        // The peaks come from the cache, or fill in while the recording is scanned.
        document_.waveform_peaks().open(record.path);
        waveform_->clear();
    }
}

void FormView::update_values()
{
    double const position = document_.play_position();
    header_.show_times(position, total_seconds_ - position);
    level_->set_value(document_.is_playing() ? document_.level() : 0);
    volume_->set_value(document_.settings().volume);
    show_position(total_seconds_ > 0 ? std::clamp(position / total_seconds_, 0.0, 1.0) : 0.0);
    std::vector<uint8_t> peaks;
    double known = 0;
    if (waveform_ && document_.waveform_peaks().poll(peaks, known))
        waveform_->set_peaks(std::move(peaks), known);
}

void FormView::show_position(double fraction)
{
    position_->set_value(fraction);
    if (waveform_)
        waveform_->set_played(fraction);
}

void FormView::show_playing(bool playing)
{
    play_->set_visible(!playing);
    pause_->set_visible(playing);
}

void FormView::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (on_name_click(source))
        return;
    if (source == close_) {
        core::String const name = name_;
        document_.stop();
        document_.rename(name);
        close();
    } else if (source == play_) {
        if (document_.is_playing())
            document_.pause(false);
        else if (!document_.play(core::String(document_.current().path), 0))
            return;
        show_playing(true);
    } else if (source == pause_) {
        document_.pause(true);
        show_playing(false);
    } else if (source && (source == skip_back_ || source == skip_forward_)) {
        document_.skip(source == skip_back_ ? -SKIP_SECONDS : SKIP_SECONDS);
    } else if (source == menu_button_) {
        menu_.open(u"Menu", u"", PageOpening::SHOW_MENU);
    } else if (source == confirmation_.ok_button()) {
        document_.remove();
        close();
    }
}

void FormView::change_volume(double step)
{
    double const value = std::clamp(document_.settings().volume + step, 0.0, 1.0);
    volume_->set_value(value);
    document_.set_volume(value);
    document_.save_settings();
}

bool FormView::skip_key(skin::KeyEvent const& event)
{
    if ((event.code != skin::KEY_LEFT && event.code != skin::KEY_RIGHT) || event.modifiers != 0)
        return false;
    return event.down && document_.skip(event.code == skin::KEY_LEFT ? -SKIP_SECONDS : SKIP_SECONDS);
}

void FormView::slide(skin::Element* source, int32_t x)
{
    double const value = slider_value(x, source->position().x, source->size().x);
    if (source == volume_button_) {
        volume_->set_value(value);
        document_.set_volume(value);
    } else if (source == position_button_ || (waveform_ && source == waveform_)) {
        // Stopped, there is nothing to seek in.
        if (document_.seek(value))
            show_position(value);
    }
}

void FormView::on_press_changed(skin::Element* source, skin::ButtonEvent const& event)
{
    if (source != volume_button_ && source != position_button_)
        return;
    auto* button = static_cast<skin::ButtonElement*>(source);
    if (button->pressed()) {
        if (!event.flag)
            slide(source, event.point.x);
    } else {
        document_.save_settings();
    }
}

void FormView::on_drag(skin::Element* source, skin::DragEvent& drag)
{
    if (source == volume_button_ || source == position_button_ || (waveform_ && source == waveform_))
        slide(source, drag.point.x);
}

void FormView::on_menu(Menu&, core::StringView id, core::StringView, MenuItems& items)
{
    if (id == u"Menu") {
        items.emplace_back(u"Delete", properties_.translate(u"Delete_this"));
        // Vorbis and Musepack files are only played: continuing one could only fail.
        if (document_.can_continue())
            items.emplace_back(u"Append");
        items.emplace_back(u"Send");
        items.emplace_back(u"SaveCopy");
        items.emplace_back(u"Cancel");
    } else if (id == u"Delete") {
        confirm_delete();
    } else if (id == u"Append") {
        // The recording screen comes up on the Document's event; a failure leaves this screen as it is.
        if (document_.continue_recording())
            close();
    } else if (id == u"Send") {
        document_.send_current();
    } else if (id == u"SaveCopy") {
        copy_saver_.save(document_.current().path, properties_.translate(u"SaveCopy"));
    }
}

void FormView::on_copy_saved(document::CopySaver::Result const& result)
{
    using Outcome = document::CopySaver::Outcome;
    if (result.outcome == Outcome::SAVED_TO_MUSIC)
        message_.show(os::replace_all(properties_.translate(u"Saved_copy_in_music"), u"%path%", result.path));
    else if (result.outcome == Outcome::FAILED)
        message_.show(properties_.translate(u"Sorry_cannot_save_copy"));
}

void FormView::confirm_delete()
{
    document_.stop();
    confirmation_.set_text(properties_.translate(
        document_.can_trash({ document_.current().path }) ? u"Confirm_trashing_this" : u"Confirm_deleting_this"));
    confirmation_.show();
}

bool FormView::on_key_command(KeyCommand command)
{
    if (command != KeyCommand::DELETE)
        return RecordScreen::on_key_command(command);
    confirm_delete();
    return true;
}

bool FormView::is_slider(skin::Element const* element) const
{
    return element && (element == volume_button_ || element == position_button_);
}

double FormView::slider_position(skin::Element* element) const
{
    if (element == volume_button_)
        return document_.settings().volume;
    if (element == position_button_ && document_.is_playing())
        return position_->value();
    return -1;
}

void FormView::on_slider_key(skin::Element* element, double value)
{
    if (element == volume_button_) {
        change_volume(value - document_.settings().volume);
    } else if (element == position_button_ && document_.seek(value)) {
        show_position(value);
    }
}

void FormView::on_document_event(DocumentEvent const& event)
{
    if (event.code != DocumentEvent::STOPPED || !is_shown())
        return;
    refresh(NameCaption::KEEP);
    level_->set_value(0);
    show_position(0);
}

} // namespace screens
