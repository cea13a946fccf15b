#pragma once

#include "ApplicationBase.h"
#include "ApplicationListener.h"

#include <deque>
#include <functional>
#include <memory>
#include <platform/display/display.h>
#include <platform/messages.h>
#include <platform/services/instance.h>
#include <skin/InputEvents.h>
#include <skin/RenderSurface.h>

namespace skin {
class EditElement;
}

namespace app {

// The one top-level window: its message loop, the 40-ms frame step, and the turning of window messages
// into pen, key and character events and into the listener's calls. Frames go through the display
// back-end's window (the windowed path) in every drawing mode; a frame is painted only when something
// asks for a redraw. The frame timer runs only while something moves or waits on a clock of its own (an
// animation, a scrolling list, a recording's values); at rest it stops and the loop blocks until a message
// (input, a timer, a Document event) asks for a redraw or starts something moving, which wakes it with a
// frame at once. While the program is inactive (minimised or hidden) it never runs; a window that has
// only lost the focus stays active.
// Threads: main thread only.
class GameBase : public ApplicationBase {
public:
    static constexpr uintptr_t FRAME_TIMER = 1;
    static constexpr uint32_t FRAME_MS = 40;
    static constexpr uint32_t WM_OTHER_INSTANCE = platform::WM_USER + 34;
    static constexpr int32_t PEN_LIFTED_NOWHERE = -1'000'000;
    static constexpr int SHOW_MINIMIZED = 6;
    static constexpr int SHOW_RESTORE = 13;

    // `window_made` is called once the window exists and listens for later starts.
    GameBase(core::String const& name, std::function<void()> const& window_made);
    ~GameBase() override;

    // The message loop: returns when the quit message arrives.
    void run();
    // Dispatches messages until `done` answers true after one, or the quit message arrives (then
    // false, the quit message left for run()).
    template <typename Done> bool run_until(Done done)
    {
        platform::Message message;
        while (!done()) {
            if (!next_message(message))
                return false;
        }
        return true;
    }

    platform::Hwnd window() const { return window_; }
    platform::Display& display() { return *display_; }
    platform::Screen const& screen() const { return screen_; }
    bool is_active() const { return !inactive_ && !suspended_; }

    // Messages posted to the main thread rather than to a window (the stop signals).
    void set_thread_message_handler(std::function<void(platform::Message const&)> handler)
    {
        thread_handler_ = std::move(handler);
    }
    // The contact store's item messages (created, deleted, changed; local and remote), lparam the item.
    void set_contact_message_handler(std::function<intptr_t(uint32_t message, uint32_t item)> handler)
    {
        contact_handler_ = std::move(handler);
    }
    static bool is_contact_message(uint32_t message);
    void set_listener(ApplicationListener* listener) { listener_ = listener; }
    ApplicationListener* listener() const { return listener_; }

    // Starts (widget given) or ends (null) text entry over a skin edit.
    void set_edit(skin::EditElement* widget);
    skin::EditElement* edit() const { return edit_; }
    // SHOW_MINIMIZED or SHOW_RESTORE (restore and bring to the front).
    void show_window(int command);
    // Paints a frame now when one is due (also called by the frame timer), and lets the frame timer sleep
    // when nothing moves.
    void frame_step();
    // Whether the frame timer runs.
    bool frames_running() const { return frames_running_; }

protected:
    // What the frame step and the input drive; the Application forwards them to its form stack.
    virtual void tick(double seconds) = 0;
    virtual void paint_frame(skin::RenderSurface& surface) = 0;
    virtual bool needs_redraw() = 0;
    // Frame steps would change something (an animation runs, a list moves, live values change).
    virtual bool wants_frames() = 0;
    virtual void mark_redraw() = 0;
    virtual void on_pen(skin::PenEvent const& event) = 0;
    virtual void on_pen_move(skin::PenEvent const& event) = 0;
    virtual void on_key(skin::KeyEvent const& event) = 0;
    virtual void on_char(core::String const& text) = 0;
    // The wheel turned by `notches` (positive away from the user) over `point`.
    virtual void on_wheel(skin::Point point, int32_t notches) = 0;
    // The window's client size changed.
    virtual void on_window_size(int32_t width, int32_t height) = 0;
    // A frame was shown.
    virtual void on_frame_shown() { }

private:
    static intptr_t window_procedure(platform::Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam);
    intptr_t handle(uint32_t message, uintptr_t wparam, intptr_t lparam);
    bool next_message(platform::Message& message);
    void dispatch(platform::Message const& message);
    // The window messages, one step each.
    void on_close_message();
    void on_activate_message(bool active);
    void on_setting_change_message(uintptr_t wparam);
    void on_help_message();
    void on_copy_data_message(intptr_t lparam);
    void on_copy_data(platform::CopyData const& data);
    void on_other_instance_message();
    void on_key_message(uint32_t message, uintptr_t wparam, intptr_t lparam);
    void on_char_message(uintptr_t wparam, intptr_t lparam);
    void on_pen_down_message(intptr_t lparam);
    void on_pen_move_message(intptr_t lparam);
    void on_wheel_message(uintptr_t wparam, intptr_t lparam);
    void on_pen_up_message(intptr_t lparam);
    void on_pen_up();
    void on_user_input();
    void check_screen();
    void paint();
    void start_frames();
    void stop_frames();
    // After a message: a sleeping frame timer starts again, with a frame at once, when the message asked
    // for a redraw.
    void wake_frames();
    skin::PenEvent pen_event(intptr_t lparam) const;

    std::unique_ptr<platform::Display> display_;
    std::unique_ptr<platform::InstanceServer> server_;
    platform::Hwnd window_ = 0;
    platform::Message current_ {};
    skin::RenderSurface back_buffer_;
    ApplicationListener* listener_ = nullptr;
    skin::EditElement* edit_ = nullptr;
    bool inactive_ = false;
    bool suspended_ = false;
    bool pen_down_ = false;
    // Modifier keys held, from their own key messages; let go of when the window is deactivated, since
    // their key-up may then go elsewhere.
    bool shift_held_ = false;
    bool ctrl_held_ = false;
    bool alt_held_ = false;
    int32_t last_up_x_ = PEN_LIFTED_NOWHERE;
    int32_t last_up_y_ = PEN_LIFTED_NOWHERE;
    bool sip_preference_ = false;
    uint32_t last_tick_ = 0;
    bool frames_running_ = false;
    platform::Screen screen_;
    std::deque<core::String> commands_;
    std::function<void(platform::Message const&)> thread_handler_;
    std::function<intptr_t(uint32_t, uint32_t)> contact_handler_;
};

} // namespace app
