#pragma once

#include <core/Strings.h>

namespace skin {
class EditElement;
class FormStack;
} // namespace skin

namespace screens {

// What the screens ask of the program's window. The application implements it over its main window;
// tests give a stand-in.
// Threads: main thread only.
class ScreenHost {
public:
    virtual ~ScreenHost();

    // The window's form stack: a screen is switched to with show_form, shown modally as a popup, and
    // leaves with close_form.
    virtual skin::FormStack& form_stack() = 0;
    // Starts (an edit given) or ends (null) text entry into a skin edit element: the window turns its
    // text input on over the edit's rectangle (input method, on-screen keyboard), and off again.
    virtual void set_edit(skin::EditElement* edit) = 0;
    // Minimises the window (the main menu's "Minimize").
    virtual void minimize() = 0;
    // Ends the program as closing its window does; the caller has stopped what runs.
    virtual void quit() = 0;
    // A modal message box over the window with an OK button; returns when it is dismissed.
    virtual void message_box(core::StringView text, core::StringView caption) = 0;
};

} // namespace screens
