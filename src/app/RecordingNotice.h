#pragma once

#include <core/Strings.h>
#include <document/DocumentListener.h>
#include <functional>
#include <platform/messages.h>
#include <platform/services/desktop_notification.h>

namespace document {
class Document;
}

namespace app {

// While a recording runs and the window is out of sight (minimised or hidden: a call, "record" from a
// later start, quick record), a notification on the desktop says what is recorded (the caller, or the
// recording's name) and offers "Stop" (the recording ends, its file kept) and "Open" (the window comes to
// the front). It goes when the recording ends or the window comes back; one the user closed stays away
// until then. What the user does with it arrives as MESSAGE on the main thread.
// Threads: main thread only.
class RecordingNotice final : public document::DocumentListener {
public:
    static constexpr uint32_t MESSAGE = platform::WM_USER + 62;
    using Translate = std::function<core::String(core::StringView key)>;

    // `in_sight`: whether the window is shown; `open`: brings it to the front.
    RecordingNotice(document::Document& document, std::function<bool()> in_sight, std::function<void()> open);
    ~RecordingNotice() override;
    RecordingNotice(RecordingNotice const&) = delete;
    RecordingNotice& operator=(RecordingNotice const&) = delete;

    // The language is loaded: from now on the notice follows the recording and the window.
    void start(Translate translate);
    // Looks again at the recording and the window (the window was hidden or shown).
    void update();
    // A message of the notification's; false for any other.
    bool on_message(platform::Message const& message);

private:
    void on_document_event(document::DocumentEvent const& event) override;
    void close();

    document::Document& document_;
    std::function<bool()> in_sight_;
    std::function<void()> open_;
    Translate translate_;
    platform::DesktopNotification notification_;
    bool shown_ = false;
    bool dismissed_ = false;
    core::String summary_, body_;
};

} // namespace app
