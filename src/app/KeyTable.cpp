#include "KeyTable.h"

#include <platform/display/display.h>
#include <skin/KeyNames.h>

namespace app {

int32_t key_code(uint32_t vk)
{
    using namespace platform;
    if (vk >= VK_0 && vk <= VK_0 + 9)
        return skin::KEY_0 + static_cast<int32_t>(vk - VK_0);
    if (vk >= VK_A && vk <= VK_A + 25)
        return skin::KEY_A + static_cast<int32_t>(vk - VK_A);
    switch (vk) {
    case VK_BACK:
        return 11;
    case VK_ESCAPE:
        // Escape has a code of its own, so that a name being edited loses a character to Backspace while
        // Escape still cancels the dialog.
        return 8;
    case VK_TAB:
        return 18;
    case VK_RETURN:
        return 9;
    case VK_SHIFT:
        return 1;
    case VK_CONTROL:
        return 2;
    case VK_MENU:
        return 3;
    case VK_SPACE:
        return 10;
    case VK_PRIOR:
        return 17;
    case VK_NEXT:
        return 16;
    case VK_END:
        return 15;
    case VK_HOME:
        return 14;
    case VK_LEFT:
        return 4;
    case VK_UP:
        return 6;
    case VK_RIGHT:
        return 5;
    case VK_DOWN:
        return 7;
    case VK_INSERT:
        return 13;
    case VK_DELETE:
        return 12;
    case VK_APPS:
        return 19;
    case VK_F1:
        return 61;
    case VK_F1 + 1:
        return 62;
    case VK_F1 + 2:
        return 58;
    case VK_F1 + 3:
        return 59;
    case VK_F1 + 5:
        return 63;
    case VK_F1 + 6:
        return 64;
    case VK_F1 + 7:
        return 56;
    case VK_F1 + 8:
        return 57;
    case VK_F1 + 9:
        // F10 opens the menu on desktops, as the Menu key does.
        return skin::KEY_CONTEXT_MENU;
    case VK_OEM_2:
        return skin::KEY_SLASH;
    default:
        return 0;
    }
}

} // namespace app
