#include "KeyCommands.h"

#include <skin/KeyNames.h>

namespace screens {

KeyCommand key_command(skin::KeyEvent const& event)
{
    if (!event.down || !event.first)
        return KeyCommand::NONE;
    if (event.ctrl()) {
        switch (event.code) {
        case skin::KEY_A + ('R' - 'A'):
            return event.shift() ? KeyCommand::NONE : KeyCommand::RECORD;
        case skin::KEY_A + ('E' - 'A'):
            return event.shift() ? KeyCommand::NONE : KeyCommand::RENAME;
        case skin::KEY_A + ('F' - 'A'):
            return event.shift() ? KeyCommand::NONE : KeyCommand::FILTER;
        case skin::KEY_A + ('Z' - 'A'):
            return event.shift() ? KeyCommand::NONE : KeyCommand::UNDO;
        case skin::KEY_SLASH:
            return KeyCommand::KEYS;
        default:
            return KeyCommand::NONE;
        }
    }
    // Plain keys only: Shift+Delete and the like are left alone.
    if (event.modifiers != 0)
        return KeyCommand::NONE;
    if (event.code == skin::KEY_CONTEXT_MENU)
        return KeyCommand::MENU;
    if (event.code == skin::KEY_DEL)
        return KeyCommand::DELETE;
    return KeyCommand::NONE;
}

double slider_step(skin::KeyEvent const& event)
{
    constexpr double STEP = 0.05;
    if (!event.down || event.modifiers != 0)
        return 0;
    if (event.code == skin::KEY_RIGHT || event.code == skin::KEY_UP)
        return STEP;
    if (event.code == skin::KEY_LEFT || event.code == skin::KEY_DOWN)
        return -STEP;
    return 0;
}

} // namespace screens
