#pragma once

#include <functional>
#include <memory>

// The speakerphone through callaudiod (org.mobian_project.CallAudio on the session bus), spoken to with
// GDBus directly: its interface is two members (EnableSpeaker(b) -> b, the SpeakerState property), and
// its client library keeps one process-wide connection and offers no way to follow SpeakerState.
// Optional: without callaudiod nothing is switched and nothing fails.
//
// Threads: construct, use and destroy on one thread, whose thread-default GLib main context (current at
// construction) must be running; the listener is called from it. The phone service uses the global
// default context, as ModemCalls needs.
namespace platform {

class CallAudio {
public:
    // Called with callaudiod's speaker state when it is first learnt and at every change.
    using Listener = std::function<void(bool speaker_on)>;

    explicit CallAudio(Listener listener);
    ~CallAudio();
    CallAudio(CallAudio const&) = delete;
    CallAudio& operator=(CallAudio const&) = delete;

    // True while callaudiod is on the session bus and ready.
    bool present() const;
    // Asks callaudiod to switch the speaker; false (nothing asked) while it is not present. The outcome
    // shows as a change of the speaker state; a refusal is logged.
    bool enable_speaker(bool on);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
