#pragma once

#include "Point.h"

#include <cstdint>

namespace skin {

// A pen press, move or release in window coordinates. `time` is the tick count (milliseconds) of the
// window message; only the list's drag tracking reads it.
struct PenEvent {
    int32_t x = 0;
    int32_t y = 0;
    uint32_t time = 0;
    int32_t kind = 0; // 0: the pen
    uint8_t down = 0; // 1 pressed, 0 released
    uint8_t cancel = 0; // the release ends the press without its effect

    Point point() const { return { x, y }; }
};

// Modifier keys held while a key goes down or up (bits of KeyEvent::modifiers).
enum KeyModifier : uint8_t {
    MODIFIER_SHIFT = 1,
    MODIFIER_CTRL = 2,
    MODIFIER_ALT = 4,
};

// A logical key (the codes of KeyNames.h) going down or up.
struct KeyEvent {
    int32_t code = 0;
    bool down = false;
    bool first = true; // false for an auto-repeated key-down
    uint8_t modifiers = 0; // KeyModifier bits

    bool shift() const { return (modifiers & MODIFIER_SHIFT) != 0; }
    bool ctrl() const { return (modifiers & MODIFIER_CTRL) != 0; }
    bool alt() const { return (modifiers & MODIFIER_ALT) != 0; }
};

} // namespace skin
