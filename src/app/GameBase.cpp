#include "GameBase.h"

#include "KeyTable.h"

#include <algorithm>
#include <core/Log.h>
#include <os/Registry.h>
#include <platform/phone/contacts.h>
#include <platform/text.h>
#include <platform/ticks.h>
#include <skin/KeyNames.h>
#include <skin/widgets/EditElement.h>

namespace app {

namespace {

constexpr uintptr_t SPI_SETSIPINFO = 224;
constexpr uintptr_t SETTING_CHANGE_WORK_AREA = 0x3002;
constexpr char16_t EMPTY_COMMAND[] = u"%CommandLineEmpty%";

} // namespace

GameBase::GameBase(core::String const& name, std::function<void()> const& window_made)
    : ApplicationBase(name)
{
    uint32_t sip = 0;
    sip_preference_ = os::reg_get_dword(os::MAKER_KEY, u"SIPPreference", sip) && sip != 0;
    core::log() << platform::tick_count() << " GameBase 0\n";
    core::log() << platform::tick_count() << " GameBase 1\n";
    platform::WindowClass cls;
    cls.name = window_class();
    cls.style = 3; // redrawn whole on a change of either size
    cls.procedure = &GameBase::window_procedure;
    bool const registered = platform::register_class(cls);
    core::log() << platform::tick_count() << " GameBase 2\n";
    if (!registered)
        return;
    core::log() << platform::tick_count() << " GameBase 3\n";
    screen_ = platform::screen_from_environment();
    core::log() << platform::tick_count() << " GameBase 4\n";
    window_ = platform::create_window(cls.name, this->name(), 0);
    platform::set_window_data(window_, this);
    display_ = platform::create_display();
    if (!display_->open(this->name(), screen_, window_)) {
        // Said on standard error; a program nobody can see would only hold the single-instance lock.
        display_ = std::make_unique<platform::HeadlessDisplay>();
        display_->open(this->name(), screen_, window_);
        platform::post_quit_message(0);
    }
    screen_ = display_->screen();
    back_buffer_.recreate({ screen_.width, screen_.height });
    core::log() << platform::tick_count() << " GameBase 5\n";
    server_ = std::make_unique<platform::InstanceServer>(cls.name, window_,
        [](std::string const& problem) { core::log() << "Application::" << problem.c_str() << "\n"; });
    window_made();
    last_tick_ = platform::tick_count();
    start_frames();
}

GameBase::~GameBase()
{
    server_.reset();
    if (window_ && platform::is_window(window_))
        platform::destroy_window(window_);
    display_.reset();
    platform::unregister_class(window_class());
}

void GameBase::start_frames()
{
    if (!window_ || frames_running_)
        return;
    platform::set_timer(window_, FRAME_TIMER, FRAME_MS);
    frames_running_ = true;
}

void GameBase::stop_frames()
{
    if (!frames_running_)
        return;
    platform::kill_timer(window_, FRAME_TIMER);
    frames_running_ = false;
}

void GameBase::wake_frames()
{
    // Whatever starts to move also asks for a redraw (a form shown, an animation begun, a list taken by
    // the pen), so the cheap question is enough after each message; the frame step asks the other.
    if (frames_running_ || !is_active() || !window_ || !needs_redraw())
        return;
    // The step after a rest advances what it starts by one frame, not by the whole rest.
    last_tick_ = platform::tick_count() - FRAME_MS;
    start_frames();
    frame_step();
}

bool GameBase::next_message(platform::Message& message)
{
    if (platform::get_message(message, 0, 0, 0) == 0) {
        platform::post_quit_message(static_cast<int>(message.wparam));
        return false;
    }
    dispatch(message);
    return true;
}

void GameBase::dispatch(platform::Message const& message)
{
    current_ = message;
    if (message.window == 0 && thread_handler_)
        thread_handler_(message);
    else
        platform::dispatch_message(message);
    wake_frames();
}

void GameBase::run()
{
    // The first frame (the splash) goes out at once, not a timer period later.
    frame_step();
    platform::Message message;
    while (platform::get_message(message, 0, 0, 0) != 0)
        dispatch(message);
}

void GameBase::frame_step()
{
    if (!is_active() || !window_)
        return;
    uint32_t const now = platform::tick_count();
    double const seconds = std::clamp((now - last_tick_) * 0.001, 0.001, 0.1);
    last_tick_ = now;
    tick(seconds);
    if (needs_redraw())
        paint();
    if (!needs_redraw() && !wants_frames())
        stop_frames();
}

void GameBase::paint()
{
    paint_frame(back_buffer_);
    skin::Bitmap565 const* bitmap = back_buffer_.bitmap();
    if (!bitmap)
        return;
    display_->present(bitmap->row(0), bitmap->width(), bitmap->height(), bitmap->stride() / 2);
    on_frame_shown();
}

intptr_t GameBase::window_procedure(platform::Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    auto* self = static_cast<GameBase*>(platform::window_data(window));
    if (!self)
        return platform::def_window_proc(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

bool GameBase::is_contact_message(uint32_t message)
{
    uint32_t const local = message >= platform::PIM_ITEM_CREATED_LOCAL + platform::PIM_ITEM_REMOTE_OFFSET
        ? message - platform::PIM_ITEM_REMOTE_OFFSET
        : message;
    return local >= platform::PIM_ITEM_CREATED_LOCAL && local <= platform::PIM_ITEM_CHANGED_LOCAL;
}

intptr_t GameBase::handle(uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    using namespace platform;
    if (is_contact_message(message))
        return contact_handler_ ? contact_handler_(message, static_cast<uint32_t>(lparam)) : 0;
    switch (message) {
    case WM_CLOSE:
        on_close_message();
        return 0;
    case WM_DESTROY:
        post_quit_message(0);
        break;
    case WM_TIMER:
        if (wparam == FRAME_TIMER)
            frame_step();
        break;
    case WM_ACTIVATE:
        on_activate_message(wparam != WA_INACTIVE);
        break;
    case WM_SETTINGCHANGE:
        on_setting_change_message(wparam);
        break;
    case WM_COPYDATA:
        on_copy_data_message(lparam);
        break;
    case WM_OTHER_INSTANCE:
        on_other_instance_message();
        break;
    case WM_HELP:
        on_help_message();
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_HOTKEY:
        on_key_message(message, wparam, lparam);
        break;
    case WM_CHAR:
        on_char_message(wparam, lparam);
        break;
    case WM_LBUTTONDOWN:
        on_pen_down_message(lparam);
        break;
    case WM_MOUSEMOVE:
        on_pen_move_message(lparam);
        break;
    case WM_MOUSEWHEEL:
        on_wheel_message(wparam, lparam);
        break;
    case WM_LBUTTONUP:
        on_pen_up_message(lparam);
        break;
    case WM_CAPTURECHANGED:
        on_pen_up();
        break;
    default:
        break;
    }
    return def_window_proc(window_, message, wparam, lparam);
}

void GameBase::on_close_message()
{
    if (!listener_ || listener_->can_close())
        platform::destroy_window(window_);
}

void GameBase::on_setting_change_message(uintptr_t wparam)
{
    // The work area or the input panel changed: the screen may have another size now.
    if (wparam == SETTING_CHANGE_WORK_AREA || wparam == platform::SETTING_WORK_AREA || wparam == SPI_SETSIPINFO)
        check_screen();
}

void GameBase::on_help_message()
{
    if (listener_)
        listener_->on_help();
}

void GameBase::on_copy_data_message(intptr_t lparam)
{
    std::unique_ptr<platform::CopyData> data(reinterpret_cast<platform::CopyData*>(lparam));
    if (data)
        on_copy_data(*data);
}

void GameBase::on_other_instance_message()
{
    if (commands_.empty())
        return;
    core::String const command = std::move(commands_.front());
    commands_.pop_front();
    if (!listener_ || !listener_->on_other_instance_started(command))
        show_window(SHOW_RESTORE);
}

void GameBase::on_char_message(uintptr_t wparam, intptr_t lparam)
{
    core::log() << "WM_CHAR=" << core::String(1, static_cast<char16_t>(wparam)) << " lParam=" << lparam
                << " ticks=" << platform::tick_count() << "\n";
    on_user_input();
    if (wparam >= 32)
        on_char(core::String(1, static_cast<char16_t>(wparam)));
}

void GameBase::on_pen_down_message(intptr_t lparam)
{
    on_user_input();
    last_up_x_ = last_up_y_ = PEN_LIFTED_NOWHERE;
    pen_down_ = true;
    suspended_ = false;
    skin::PenEvent event = pen_event(lparam);
    event.down = 1;
    on_pen(event);
}

void GameBase::on_pen_move_message(intptr_t lparam)
{
    suspended_ = false;
    if (pen_down_)
        on_pen_move(pen_event(lparam));
}

void GameBase::on_wheel_message(uintptr_t wparam, intptr_t lparam)
{
    on_user_input();
    suspended_ = false;
    int32_t const delta = platform::wparam_wheel(wparam);
    // A fine wheel (a touchpad) still moves by a whole step.
    int32_t const notches
        = delta / platform::WHEEL_DELTA != 0 ? delta / platform::WHEEL_DELTA : (delta > 0) - (delta < 0);
    if (notches != 0)
        on_wheel({ platform::lparam_x(lparam), platform::lparam_y(lparam) }, notches);
}

void GameBase::on_pen_up_message(intptr_t lparam)
{
    last_up_x_ = platform::lparam_x(lparam);
    last_up_y_ = platform::lparam_y(lparam);
    // Releasing the capture is what delivers the lift.
    display_->release_pen();
    on_pen_up();
}

skin::PenEvent GameBase::pen_event(intptr_t lparam) const
{
    skin::PenEvent event;
    event.x = platform::lparam_x(lparam);
    event.y = platform::lparam_y(lparam);
    event.time = current_.time;
    return event;
}

void GameBase::on_pen_up()
{
    suspended_ = false;
    if (!pen_down_)
        return;
    pen_down_ = false;
    skin::PenEvent event;
    event.x = last_up_x_;
    event.y = last_up_y_;
    event.time = current_.time;
    event.cancel = last_up_x_ == PEN_LIFTED_NOWHERE && last_up_y_ == PEN_LIFTED_NOWHERE ? 1 : 0;
    on_pen(event);
}

void GameBase::on_user_input()
{
    if (listener_)
        listener_->on_user_input();
}

void GameBase::on_key_message(uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    suspended_ = false;
    if (message == platform::WM_KEYDOWN)
        on_user_input();
    skin::KeyEvent event;
    char const* label = "WM_KEYDOWN = ";
    if (message == platform::WM_HOTKEY) {
        uint32_t const vk = static_cast<uint32_t>((lparam >> 16) & 0xFFFF);
        event.code = key_code(vk);
        event.down = (lparam & 0x1000) == 0;
        event.first = true;
        label = "WM_HOTKEY = ";
    } else {
        event.code = key_code(static_cast<uint32_t>(wparam));
        event.down = message == platform::WM_KEYDOWN;
        event.first = !event.down || (lparam & platform::KEY_REPEAT_BIT) == 0;
        if (!event.down)
            label = "WM_KEYUP = ";
        if (wparam == platform::VK_SHIFT)
            shift_held_ = event.down;
        else if (wparam == platform::VK_CONTROL)
            ctrl_held_ = event.down;
        else if (wparam == platform::VK_MENU)
            alt_held_ = event.down;
    }
    event.modifiers = static_cast<uint8_t>((shift_held_ ? skin::MODIFIER_SHIFT : 0)
        | (ctrl_held_ ? skin::MODIFIER_CTRL : 0) | (alt_held_ ? skin::MODIFIER_ALT : 0));
    core::log() << label << static_cast<int64_t>(wparam) << "(" << skin::key_name(event.code) << ")"
                << " lParam=" << lparam << " ticks=" << platform::tick_count() << "\n";
    if (message != platform::WM_HOTKEY && listener_ && listener_->on_key(event))
        return;
    on_key(event);
}

void GameBase::on_activate_message(bool active)
{
    if (!active) {
        if (inactive_)
            return;
        inactive_ = true;
        shift_held_ = ctrl_held_ = alt_held_ = false;
        stop_frames();
        if (listener_)
            listener_->on_deactivate();
        return;
    }
    inactive_ = false;
    suspended_ = false;
    last_tick_ = platform::tick_count();
    mark_redraw();
    start_frames();
    if (listener_)
        listener_->on_activate();
}

void GameBase::on_copy_data(platform::CopyData const& data)
{
    if (data.data != 0)
        return;
    if (data.bytes.size() % 2 != 0) {
        core::log() << "Application::WM_COPYDATA dropped: " << static_cast<int64_t>(data.bytes.size())
                    << " bytes are no UTF-16 text\n";
        return;
    }
    core::String command = platform::from_utf16le(data.bytes.data(), data.bytes.size());
    if (command == EMPTY_COMMAND)
        command.clear();
    commands_.push_back(std::move(command));
    platform::post_message(window_, WM_OTHER_INSTANCE, 0, 0);
}

void GameBase::check_screen()
{
    platform::Screen const now = display_->screen();
    if (now != screen_) {
        screen_ = now;
        core::log() << "Application::ResolutionChanged 2\n";
        back_buffer_.recreate({ screen_.width, screen_.height });
        on_window_size(screen_.width, screen_.height);
        mark_redraw();
        if (listener_)
            listener_->on_screen_changed();
    }
}

void GameBase::set_edit(skin::EditElement* widget)
{
    if (widget) {
        edit_ = widget;
        mark_redraw();
        auto const position = widget->position();
        auto const size = widget->size();
        display_->set_text_input(true, { position.x, position.y, size.x, size.y });
        return;
    }
    if (!edit_)
        return;
    edit_ = nullptr;
    sip_preference_ = display_->screen_keyboard_shown();
    os::reg_set_dword(os::MAKER_KEY, u"SIPPreference", sip_preference_ ? 1 : 0);
    display_->set_text_input(false, {});
}

void GameBase::show_window(int command)
{
    if (command == SHOW_MINIMIZED) {
        display_->minimize();
        // As the handheld's ShowWindow does, the window is inactive when the call returns.
        on_activate_message(false);
    } else
        display_->restore();
}

} // namespace app
