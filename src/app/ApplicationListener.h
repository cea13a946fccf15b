#pragma once

#include <core/Strings.h>
#include <skin/InputEvents.h>

namespace app {

// What the main window tells the object that runs the program (the Starter); every operation has a
// default. Threads: main thread only.
class ApplicationListener {
public:
    virtual ~ApplicationListener();
    // A command line from a later start (WM_USER+34); false when the listener left it alone, and the
    // window then comes to the front, as it does by default.
    virtual bool on_other_instance_started(core::String const&) { return false; }
    // WM_CLOSE closes the window only when this answers true.
    virtual bool can_close() { return true; }
    // The screen's size or orientation changed.
    virtual void on_screen_changed() { }
    virtual void on_help() { }
    virtual void on_deactivate() { }
    virtual void on_activate() { }
    // A tap, a key or typed text reached the window: someone is using the program.
    virtual void on_user_input() { }
    // True consumes the key before the forms see it.
    virtual bool on_key(skin::KeyEvent const&) { return false; }
};

} // namespace app
