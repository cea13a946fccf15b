#pragma once

#include <core/Strings.h>

#include <cstdint>

namespace skin {

// The logical key codes that the application's key handling delivers and that "bind_key" names.
enum KeyCode : int32_t {
    KEY_NONE = 0,
    KEY_SHIFT = 1,
    KEY_CTRL = 2,
    KEY_ALT = 3,
    KEY_LEFT = 4,
    KEY_RIGHT = 5,
    KEY_UP = 6,
    KEY_DOWN = 7,
    KEY_ESC = 8,
    KEY_ENTER = 9,
    KEY_SPACE = 10,
    KEY_BACKSPACE = 11,
    KEY_DEL = 12,
    KEY_INSERT = 13,
    KEY_HOME = 14,
    KEY_END = 15,
    KEY_PAGE_DOWN = 16,
    KEY_PAGE_UP = 17,
    KEY_TAB = 18,
    KEY_CONTEXT_MENU = 19,
    KEY_A = 20, // to KEY_A + 25 for "Z"
    KEY_0 = 46, // to KEY_0 + 9 for "9"
    KEY_STAR = 56,
    KEY_HASH = 57,
    KEY_CALL_MAKE = 58,
    KEY_CALL_END = 59,
    KEY_SLIDE = 60,
    KEY_SOFT_LEFT = 61,
    KEY_SOFT_RIGHT = 62,
    KEY_VOLUME_UP = 63,
    KEY_VOLUME_DOWN = 64,
    // The desktop's "/" and "?" key (Ctrl+? lists the keys).
    KEY_SLASH = 65,
};

// The code of a key name ("SOFT_LEFT", "A", "*", ...; exact, case-sensitive); KEY_NONE for any other
// text.
int32_t key_code_from_name(core::StringView name);
// The name of a code; empty for a code without one.
core::StringView key_name(int32_t code);

} // namespace skin
