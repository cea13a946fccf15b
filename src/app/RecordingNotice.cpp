#include "RecordingNotice.h"

#include <core/Log.h>
#include <document/Document.h>

namespace app {

namespace {

enum Action : size_t { STOP, OPEN };

} // namespace

RecordingNotice::RecordingNotice(
    document::Document& document, std::function<bool()> in_sight, std::function<void()> open)
    : document_(document)
    , in_sight_(std::move(in_sight))
    , open_(std::move(open))
    , notification_(platform::current_thread_id(), MESSAGE, "Ravelin", "ravelin",
          [](std::string const& line) { core::log() << core::from_utf8(line) << u"\n"; })
{
    document_.add_listener(this);
}

RecordingNotice::~RecordingNotice()
{
    document_.remove_listener(this);
}

void RecordingNotice::start(Translate translate)
{
    translate_ = std::move(translate);
    update();
}

void RecordingNotice::on_document_event(document::DocumentEvent const&)
{
    update();
}

void RecordingNotice::update()
{
    if (!translate_ || !document_.is_recording() || in_sight_()) {
        close();
        dismissed_ = false;
        return;
    }
    if (dismissed_)
        return;
    auto const& record = document_.current();
    bool const call = document_.is_call_recording();
    core::String const summary = translate_(call ? u"Notice_recording_call" : u"Notice_recording");
    core::String const& body = call ? record.artist : record.title;
    if (shown_ && summary == summary_ && body == body_)
        return;
    notification_.show(
        summary, body, { { "stop", translate_(u"Notice_stop") }, { "open", translate_(u"Notice_open") } });
    core::log() << u"RecordingNotice: shown " << body << u"\n";
    shown_ = true;
    summary_ = summary;
    body_ = body;
}

void RecordingNotice::close()
{
    if (!shown_)
        return;
    notification_.close();
    core::log() << u"RecordingNotice: closed\n";
    shown_ = false;
}

bool RecordingNotice::on_message(platform::Message const& message)
{
    if (message.message != MESSAGE)
        return false;
    auto const event = notification_.event(message);
    if (!event)
        return true;
    if (event->kind == platform::DesktopNotification::Event::Kind::CLOSED) {
        core::log() << u"RecordingNotice: closed by the user\n";
        shown_ = false;
        dismissed_ = true;
    } else if (event->action == STOP) {
        core::log() << u"RecordingNotice: stop\n";
        if (document_.is_recording())
            document_.stop();
    } else if (event->action == OPEN) {
        core::log() << u"RecordingNotice: open\n";
        open_();
    }
    return true;
}

} // namespace app
