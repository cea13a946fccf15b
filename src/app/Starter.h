#pragma once

#include "ApplicationListener.h"
#include "RecordingNotice.h"

#include <core/Timer.h>
#include <memory>
#include <skin/Form.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonListener.h>

namespace document {
class Document;
}
namespace screens {
class FormConfirmation;
class FormMain;
} // namespace screens

namespace app {

class Application;

// Runs the start-up after the window exists: obeys the command line, shows the splash at once and,
// half a second later, loads the language, the main skin and the main screen and lets the Document
// finish its start-up. Afterwards it is the window's listener: commands from later starts, refusing
// to close while recording (the user is asked whether to stop the recording and close), and the screen
// changes (the skins are loaded again for the new size).
// Threads: main thread only.
class Starter final : public ApplicationListener, public skin::ButtonListener, private core::TimerListener {
public:
    static constexpr double SPLASH_SECONDS = 0.5;

    Starter(core::String const& command_line, Application& application, document::Document& document);
    ~Starter() override;

    bool on_other_instance_started(core::String const& command) override;
    bool can_close() override;
    void on_screen_changed() override;
    void on_user_input() override;
    void on_activate() override { notice_.update(); }
    void on_deactivate() override { notice_.update(); }

    skin::Properties& main_properties() { return main_; }
    skin::Form& splash_form() { return splash_form_; }
    // The main screen's form, once the timer has made it.
    skin::Form* main_form() const;
    screens::FormMain* main_screen() const { return main_screen_.get(); }
    // The question asked when the window is closed during a recording, once the main screen exists.
    screens::FormConfirmation* close_question() const { return close_question_.get(); }
    // The notification of a recording made out of sight; its messages come to the main thread.
    RecordingNotice& notice() { return notice_; }

private:
    void on_timer(core::Timer& timer) override;
    // OK of the close question: the recording stops (its file kept) and the window closes.
    void on_click(skin::Element* source, skin::ButtonEvent const& event) override;
    void keep_for_the_user();
    void make_main_form();

    Application& application_;
    document::Document& document_;
    skin::Properties splash_;
    skin::Properties main_;
    skin::Form splash_form_;
    std::unique_ptr<screens::FormMain> main_screen_;
    std::unique_ptr<screens::FormConfirmation> close_question_;
    RecordingNotice notice_;
    core::Timer timer_;
};

} // namespace app
