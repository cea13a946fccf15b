#pragma once

#include "GameBase.h"

#include <core/Singleton.h>
#include <platform/a11y/accessible_tree.h>
#include <screens/ScreenHost.h>
#include <skin/DisplayInfo.h>
#include <skin/FormStack.h>
#include <skin/NodeRegistry.h>

#include <functional>
#include <memory>

namespace screens {
class AccessibleView;
}

namespace platform {
class AccessibilityBridge;
struct Message;
} // namespace platform

namespace app {

class FormTrace;

// The program's window as the screens see it: the form stack that gets the frame step and the input,
// the registry of the skin's element types, and the listener (the Starter).
// Threads: main thread only.
class Application final : public core::Singleton<Application>, public GameBase, public screens::ScreenHost {
public:
    explicit Application(core::String const& name);
    ~Application() override;

    static Application* instance() { return core::Singleton<Application>::instance(); }

    // True when another instance runs and was handed the command line: the caller ends.
    static bool show_running_instance(core::String const& command_line, core::String const& name);
    // Lets a start that waits in show_running_instance go on: the window exists.
    static void release_startup_mutex();

    // ScreenHost.
    skin::FormStack& form_stack() override { return stack_; }
    void set_edit(skin::EditElement* edit) override { GameBase::set_edit(edit); }
    void minimize() override { show_window(SHOW_MINIMIZED); }
    void quit() override;
    void message_box(core::StringView text, core::StringView caption) override;

    // Restores the window and brings it to the front.
    void bring_to_front() { show_window(SHOW_RESTORE); }
    skin::NodeRegistry const& node_registry() const { return registry_; }
    // Shows the forms to screen readers once an assistive technology is on; `translate` names icons.
    void start_accessibility(std::function<core::String(core::StringView)> translate);
    // Carries out what a screen reader asked; false for a message that is not the bridge's.
    bool on_accessibility_message(platform::Message const& message);
    // The screen as the skin is loaded for it.
    skin::DisplayInfo display_info() const;

protected:
    void tick(double seconds) override { stack_.tick(seconds); }
    void paint_frame(skin::RenderSurface& surface) override;
    bool needs_redraw() override { return redraw_ || stack_.needs_redraw(); }
    bool wants_frames() override { return stack_.wants_tick(); }
    void mark_redraw() override { redraw_ = true; }
    void on_pen(skin::PenEvent const& event) override;
    void on_pen_move(skin::PenEvent const& event) override;
    void on_key(skin::KeyEvent const& event) override;
    void on_char(core::String const& text) override;
    void on_wheel(skin::Point point, int32_t notches) override;
    void on_window_size(int32_t width, int32_t height) override;
    void on_frame_shown() override;

private:
    // Tells the bridge what the top form shows now, when that changed.
    void show_accessible();

    core::String name_;
    skin::NodeRegistry registry_;
    skin::FormStack stack_;
    bool redraw_ = true;
    std::unique_ptr<FormTrace> trace_;
    std::unique_ptr<screens::AccessibleView> accessible_;
    std::unique_ptr<platform::AccessibilityBridge> bridge_;
    platform::AccessibleTree shown_tree_;
};

} // namespace app
