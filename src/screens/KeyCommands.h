#pragma once

#include <skin/InputEvents.h>

namespace screens {

// The desktop's shortcuts, named by what they ask for; each screen decides what that means for it.
enum class KeyCommand {
    NONE,
    RECORD, // Ctrl+R: record on the list, stop on the recording screen
    RENAME, // Ctrl+E
    FILTER, // Ctrl+F
    MENU, // F10 or the Menu key
    DELETE, // Delete, always through a confirmation
    UNDO, // Ctrl+Z
    KEYS, // Ctrl+? (Ctrl+Shift+/, or Ctrl+/): the window that lists the keys
};

// The command of a key going down for the first time; NONE for any other key, a key-up or a repeat.
KeyCommand key_command(skin::KeyEvent const& event);

// What an arrow does to a focused slider: a twentieth of its range up (Right, Up) or down (Left, Down);
// 0 for any other key or a key-up.
double slider_step(skin::KeyEvent const& event);

} // namespace screens
