#include "Program.h"

#include "Application.h"
#include "Starter.h"

#include <core/Log.h>
#include <document/Document.h>
#include <platform/signals.h>
#include <platform/ticks.h>

namespace app {

namespace {

constexpr uint32_t STOP_SIGNAL_MESSAGE = platform::WM_USER + 60;
constexpr uint32_t WATCH_CONTACTS_MESSAGE = platform::WM_USER + 61;
constexpr uint32_t START_ACCESSIBILITY_MESSAGE = platform::WM_USER + 65;

} // namespace

Program::Program(core::String const& command_line)
{
    application_ = std::make_unique<Application>(core::String(NAME));
    core::log() << "WinMain2:" << platform::tick_count() << "\n";
    document::Document::Services services;
    // A program started for a call ends with the call unless its window is in front; it ends as a close
    // does, which is refused while a recording runs.
    services.window_active = [this] { return application_->is_active(); };
    services.quit = [this] { application_->quit(); };
    document_ = std::make_unique<document::Document>(std::move(services));
    phone::PhoneControl& phone = document_->phone_control();
    application_->set_contact_message_handler(
        [&phone](uint32_t message, uint32_t item) { return phone.on_pim_message(message, item); });
    // Connecting to an address book may take a while: it waits until the splash is up.
    platform::post_thread_message(platform::current_thread_id(), WATCH_CONTACTS_MESSAGE, 0, 0);
    // So is asking whether a screen reader runs.
    platform::post_thread_message(platform::current_thread_id(), START_ACCESSIBILITY_MESSAGE, 0, 0);
    starter_ = std::make_unique<Starter>(command_line, *application_, *document_);
    signals_ = std::make_unique<platform::StopSignalWatcher>(platform::current_thread_id(), STOP_SIGNAL_MESSAGE);
    application_->set_thread_message_handler([this](platform::Message const& message) {
        if (message.message == WATCH_CONTACTS_MESSAGE) {
            document_->phone_control().watch_contacts(application_->window());
            return;
        }
        if (message.message == START_ACCESSIBILITY_MESSAGE) {
            skin::Properties& texts = starter_->main_properties();
            application_->start_accessibility([&texts](core::StringView key) { return texts.translate(key); });
            return;
        }
        if (application_->on_accessibility_message(message))
            return;
        if (starter_->notice().on_message(message))
            return;
        if (message.message != STOP_SIGNAL_MESSAGE)
            return;
        core::log() << "WinMain: stop signal " << static_cast<int64_t>(message.wparam) << "\n";
        // The stop writes what the buffer still holds and closes the file before the window goes.
        if (document_->is_recording())
            document_->stop();
        platform::destroy_window(application_->window());
    });
}

Program::~Program()
{
    signals_.reset();
    starter_.reset();
    application_->set_contact_message_handler(nullptr);
    document_.reset();
    application_.reset();
}

void Program::run()
{
    application_->run();
}

int win_main(core::String const& command_line)
{
    core::log() << "WinMain:" << platform::tick_count() << "\n";
    if (Application::show_running_instance(command_line, core::String(Program::NAME)))
        return 0;
    core::log() << "WinMain1:" << platform::tick_count() << "\n";
    Program program(command_line);
    program.run();
    return 0;
}

} // namespace app
