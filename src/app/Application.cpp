#include "Application.h"

#include "FormTrace.h"

#include <core/Log.h>
#include <platform/a11y/accessibility_bridge.h>
#include <platform/display/display.h>
#include <platform/messages.h>
#include <platform/services/instance.h>
#include <platform/text.h>
#include <platform/ticks.h>
#include <screens/AccessibleView.h>
#include <skin/ElementTypes.h>
#include <skin/Form.h>
#include <skin/KeyNames.h>

namespace app {

namespace {

// A screen reader's request waits on the main thread's queue under this number.
constexpr uint32_t ACCESSIBILITY_MESSAGE = platform::WM_USER + 64;

// The start-up globals of the single-instance check.
struct StartupGlobals {
    core::String name;
    core::String window_class;
    core::String command_line;
    bool found = false;
    std::unique_ptr<platform::InstanceLock> mutex;
};

StartupGlobals& startup()
{
    static StartupGlobals globals;
    return globals;
}

} // namespace

bool Application::show_running_instance(core::String const& command_line, core::String const& name)
{
    core::log() << "Application::show_running_instance_open_bracket cmd_line=" << command_line << "\n";
    auto& g = startup();
    g.name = name;
    g.window_class = u"VizuvevClass_" + name;
    g.command_line = command_line;
    g.found = false;
    g.mutex = std::make_unique<platform::InstanceLock>(g.window_class);
    if (!g.mutex->held()) {
        g.mutex.reset();
        core::log() << "Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    // The lock is ours: the running instance, if any, has its window and listens.
    core::String const sent = command_line.empty() ? core::String(u"%CommandLineEmpty%") : command_line;
    std::vector<uint8_t> bytes;
    platform::append_utf16le(bytes, sent);
    if (bytes.size() > platform::MAX_COPY_BYTES) {
        // The running instance would drop it; it still comes to the front with an empty command.
        core::log() << "Application::show_running_instance command line over 32 KiB, sent empty\n";
        bytes.clear();
        platform::append_utf16le(bytes, u"%CommandLineEmpty%");
    }
    auto const result = platform::send_to_instance(g.window_class, 0, bytes);
    if (result == platform::SendResult::NO_INSTANCE)
        return false;
    core::log() << "Application::EnumProc window found hwnd=0 1\n";
    g.found = result == platform::SendResult::SENT;
    core::log() << "Application::EnumProc window found 2\n";
    // A running instance that did not take the message is still running: this start ends all the same.
    return true;
}

void Application::release_startup_mutex()
{
    startup().mutex.reset();
}

Application::Application(core::String const& name)
    : core::Singleton<Application>(this)
    , GameBase(name, &Application::release_startup_mutex)
    , name_(name)
{
    skin::register_element_types(registry_);
    stack_.set_window_size({ screen().width, screen().height });
    trace_ = FormTrace::from_environment();
    core::log() << "Application::Application() this=" << reinterpret_cast<uintptr_t>(this) << "\n";
}

Application::~Application()
{
    core::log() << "Application::~Application()\n";
    release_startup_mutex();
}

skin::DisplayInfo Application::display_info() const
{
    skin::DisplayInfo info;
    info.width = info.width_copy = screen().width;
    info.height = info.height_copy = screen().height;
    info.orientation = screen().orientation;
    info.dpi_y = screen().dpi;
    return info;
}

void Application::quit()
{
    platform::post_message(window(), platform::WM_CLOSE, 0, 0);
}

void Application::message_box(core::StringView text, core::StringView caption)
{
    platform::message_box(core::String(text), core::String(caption));
}

void Application::paint_frame(skin::RenderSurface& surface)
{
    redraw_ = false;
    stack_.paint_frame(surface);
}

void Application::on_pen(skin::PenEvent const& event)
{
    if (skin::Form* form = stack_.top())
        form->on_pen(event);
}

void Application::on_pen_move(skin::PenEvent const& event)
{
    if (skin::Form* form = stack_.top())
        form->on_pen_move(event.point(), event.time);
}

void Application::on_key(skin::KeyEvent const& event)
{
    skin::Form* form = stack_.top();
    if (!form)
        return;
    if (form->on_key(event)) {
        // Tab moved the form's focus: the screen reader hears of it.
        if (event.code == skin::KEY_TAB && event.down && accessible_)
            show_accessible();
        return;
    }
    if (event.code == skin::KEY_TAB && event.down && accessible_) {
        accessible_->move_focus(1);
        show_accessible();
        return;
    }
    // Keys of the same meaning: Backspace where it deletes nothing and the hang-up key go back as
    // Escape does; the call key confirms as Enter does.
    int32_t alias = skin::KEY_NONE;
    if (event.code == skin::KEY_BACKSPACE || event.code == skin::KEY_CALL_END)
        alias = skin::KEY_ESC;
    else if (event.code == skin::KEY_CALL_MAKE)
        alias = skin::KEY_ENTER;
    if (alias == skin::KEY_NONE)
        return;
    skin::KeyEvent again = event;
    again.code = alias;
    form->on_key(again);
}

void Application::on_wheel(skin::Point point, int32_t notches)
{
    if (skin::Form* form = stack_.top())
        form->on_wheel(point, notches);
}

void Application::on_char(core::String const& text)
{
    if (skin::Form* form = stack_.top())
        for (char16_t c : text)
            form->on_char(c);
}

void Application::on_window_size(int32_t width, int32_t height)
{
    stack_.set_window_size({ width, height });
}

void Application::on_frame_shown()
{
    if (stack_.transition() || stack_.needs_redraw())
        return;
    if (trace_)
        trace_->write(stack_);
    show_accessible();
}

void Application::start_accessibility(std::function<core::String(core::StringView)> translate)
{
    accessible_ = std::make_unique<screens::AccessibleView>(stack_, std::move(translate));
    bridge_ = std::make_unique<platform::AccessibilityBridge>(
        platform::current_thread_id(), ACCESSIBILITY_MESSAGE, core::to_utf8(name_));
    bridge_->start();
}

void Application::show_accessible()
{
    if (!bridge_ || !bridge_->active() || stack_.transition())
        return;
    platform::AccessibleTree tree = accessible_->snapshot();
    if (tree == shown_tree_)
        return;
    shown_tree_ = tree;
    bridge_->update(std::move(tree));
}

bool Application::on_accessibility_message(platform::Message const& message)
{
    if (message.message != ACCESSIBILITY_MESSAGE || !bridge_)
        return false;
    platform::AccessibleRequest request;
    while (bridge_->take_request(request))
        accessible_->carry_out(request, [this](skin::PenEvent const& pen) {
            skin::PenEvent stamped = pen;
            stamped.time = platform::tick_count();
            on_pen(stamped);
        });
    // The first message says the bridge is on: it is shown the screen as it is.
    show_accessible();
    return true;
}

} // namespace app
