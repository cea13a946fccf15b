#include "KeyNames.h"

#include <array>
#include <utility>

namespace skin {

namespace {

// In the order the table is searched: codes 0 to 55, then the phone keys.
constexpr std::array<std::pair<core::StringView, int32_t>, 66> KEYS = { {
    { u"None", KEY_NONE },
    { u"Shift", KEY_SHIFT },
    { u"Ctrl", KEY_CTRL },
    { u"Alt", KEY_ALT },
    { u"Left", KEY_LEFT },
    { u"Right", KEY_RIGHT },
    { u"Up", KEY_UP },
    { u"Down", KEY_DOWN },
    { u"Esc", KEY_ESC },
    { u"Enter", KEY_ENTER },
    { u"Space", KEY_SPACE },
    { u"Backspace", KEY_BACKSPACE },
    { u"Del", KEY_DEL },
    { u"Insert", KEY_INSERT },
    { u"Home", KEY_HOME },
    { u"End", KEY_END },
    { u"PageDown", KEY_PAGE_DOWN },
    { u"PageUp", KEY_PAGE_UP },
    { u"Tab", KEY_TAB },
    { u"ContextMenu", KEY_CONTEXT_MENU },
    { u"A", KEY_A + 0 },
    { u"B", KEY_A + 1 },
    { u"C", KEY_A + 2 },
    { u"D", KEY_A + 3 },
    { u"E", KEY_A + 4 },
    { u"F", KEY_A + 5 },
    { u"G", KEY_A + 6 },
    { u"H", KEY_A + 7 },
    { u"I", KEY_A + 8 },
    { u"J", KEY_A + 9 },
    { u"K", KEY_A + 10 },
    { u"L", KEY_A + 11 },
    { u"M", KEY_A + 12 },
    { u"N", KEY_A + 13 },
    { u"O", KEY_A + 14 },
    { u"P", KEY_A + 15 },
    { u"Q", KEY_A + 16 },
    { u"R", KEY_A + 17 },
    { u"S", KEY_A + 18 },
    { u"T", KEY_A + 19 },
    { u"U", KEY_A + 20 },
    { u"V", KEY_A + 21 },
    { u"W", KEY_A + 22 },
    { u"X", KEY_A + 23 },
    { u"Y", KEY_A + 24 },
    { u"Z", KEY_A + 25 },
    { u"0", KEY_0 + 0 },
    { u"1", KEY_0 + 1 },
    { u"2", KEY_0 + 2 },
    { u"3", KEY_0 + 3 },
    { u"4", KEY_0 + 4 },
    { u"5", KEY_0 + 5 },
    { u"6", KEY_0 + 6 },
    { u"7", KEY_0 + 7 },
    { u"8", KEY_0 + 8 },
    { u"9", KEY_0 + 9 },
    { u"CALL_MAKE", KEY_CALL_MAKE },
    { u"CALL_END", KEY_CALL_END },
    { u"*", KEY_STAR },
    { u"#", KEY_HASH },
    { u"SLIDE", KEY_SLIDE },
    { u"SOFT_LEFT", KEY_SOFT_LEFT },
    { u"SOFT_RIGHT", KEY_SOFT_RIGHT },
    { u"VOLUME_UP", KEY_VOLUME_UP },
    { u"VOLUME_DOWN", KEY_VOLUME_DOWN },
    { u"/", KEY_SLASH },
} };

} // namespace

int32_t key_code_from_name(core::StringView name)
{
    for (auto const& [key, code] : KEYS)
        if (key == name)
            return code;
    return KEY_NONE;
}

core::StringView key_name(int32_t code)
{
    for (auto const& [key, value] : KEYS)
        if (value == code)
            return key;
    return {};
}

} // namespace skin
