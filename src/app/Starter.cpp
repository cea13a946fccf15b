#include "Starter.h"

#include "Application.h"

#include <core/Log.h>
#include <document/Document.h>
#include <lang/Languages.h>
#include <os/Paths.h>
#include <phone/PhoneState.h>
#include <platform/messages.h>
#include <platform/ticks.h>
#include <screens/FormConfirmation.h>
#include <screens/FormMain.h>
#include <skin/FormBinding.h>
#include <skin/widgets/ButtonElement.h>

namespace app {

namespace {

constexpr char16_t SPLASH_SKIN[] = u"%app_path%/skins/bin/splash.skin";
constexpr char16_t MAIN_SKIN[] = u"%app_path%/skins/bin/default.skin";
constexpr char16_t APP_NAME[] = u"Ravelin";

} // namespace

Starter::Starter(core::String const& command_line, Application& application, document::Document& document)
    : application_(application)
    , document_(document)
    , notice_(
          document, [&application] { return application.is_active(); },
          [this] {
              application_.bring_to_front();
              keep_for_the_user();
          })
    , timer_(this)
{
    splash_.set_node_registry(&application.node_registry());
    main_.set_node_registry(&application.node_registry());
    core::log() << "Starter:" << platform::tick_count() << "\n";
    document_.on_command(command_line);
    if (command_line == u"call") {
        application_.show_window(GameBase::SHOW_MINIMIZED);
        document_.set_started_for_call(true);
        if (!document_.is_recording() && !phone::is_call_active()) {
            // Started for a call that has ended already: there is nothing to record or to wait for.
            core::log() << "Starter: no call\n";
            document_.set_started_for_call(false);
            application_.quit();
        }
    }
    splash_.load_skin(os::expand_path(SPLASH_SKIN), application_.display_info());
    skin::load_entry(splash_form_, splash_, u"FormSplash");
    // Frames go through the window in every drawing mode: there is no direct mode to enter and no key
    // capture to release.
    application_.form_stack().show_form(&splash_form_, skin::FormMode::POPUP);
    application_.set_listener(this);
    timer_.start(SPLASH_SECONDS);
}

Starter::~Starter()
{
    if (application_.listener() == this)
        application_.set_listener(nullptr);
    auto& stack = application_.form_stack();
    close_question_.reset();
    if (main_screen_)
        stack.close_form(&main_screen_->form());
    stack.close_form(&splash_form_);
}

skin::Form* Starter::main_form() const
{
    return main_screen_ ? &main_screen_->form() : nullptr;
}

void Starter::on_timer(core::Timer& timer)
{
    if (&timer != &timer_)
        return;
    if (!lang::load_language(main_.dictionary(), APP_NAME)) {
        application_.message_box(
            u"No languages, please reinstall\nНе найдены языковые файлы, нужна переустановка\n", APP_NAME);
        platform::post_quit_message(0);
        return;
    }
    if (!main_.load_skin(os::expand_path(MAIN_SKIN), application_.display_info())) {
        application_.message_box(main_.translate(u"NoSkins"), APP_NAME);
        platform::post_quit_message(0);
        return;
    }
    make_main_form();
    auto& stack = application_.form_stack();
    stack.show_form(main_form(), skin::FormMode::FULL_SCREEN);
    stack.close_form(&splash_form_);
    notice_.start([this](core::StringView key) { return main_.translate(key); });
    document_.resend_recording_started();
    document_.load_secondary_things();
}

void Starter::make_main_form()
{
    if (main_screen_)
        application_.form_stack().close_form(&main_screen_->form());
    close_question_.reset();
    main_screen_.reset();
    main_screen_ = std::make_unique<screens::FormMain>(main_, application_, document_);
    close_question_ = std::make_unique<screens::FormConfirmation>(main_, application_, this);
}

bool Starter::on_other_instance_started(core::String const& command)
{
    core::log() << "on_other_instance_started:" << command << "\n";
    document_.on_command(command);
    // A call is recorded where the program is; anything else brings it to the user.
    if (command == u"call")
        return true;
    application_.bring_to_front();
    keep_for_the_user();
    return true;
}

void Starter::on_user_input()
{
    keep_for_the_user();
}

void Starter::keep_for_the_user()
{
    // A program started for a call that someone has brought to the front or used is theirs now: the end
    // of the call no longer ends it, even when it is in the background by then.
    if (!document_.started_for_call())
        return;
    core::log() << "Starter: kept for the user\n";
    document_.set_started_for_call(false);
}

bool Starter::can_close()
{
    if (!document_.is_recording())
        return true;
    // Closing would end the recording: the user says whether that is meant. Before the main screen is
    // up (a call recorded from the start) there is nothing to ask with, and the window stays.
    if (close_question_ && !close_question_->is_shown()) {
        close_question_->set_text(main_.translate(u"Confirm_close_recording"));
        close_question_->show();
    }
    return false;
}

void Starter::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (!close_question_ || source != close_question_->ok_button())
        return;
    core::log() << "Starter: stopped for closing\n";
    document_.stop();
    application_.quit();
}

void Starter::on_screen_changed()
{
    // The skins are laid out for a screen: load them again for the new one, and let the forms follow.
    auto const display = application_.display_info();
    if (main_.has_skin() && main_.load_skin(os::expand_path(MAIN_SKIN), display))
        main_.send_reload_skin();
    if (application_.form_stack().contains(&splash_form_) && splash_.load_skin(os::expand_path(SPLASH_SKIN), display))
        skin::load_entry(splash_form_, splash_, u"FormSplash");
}

} // namespace app
