#pragma once

#include "MenuItem.h"

#include <core/Strings.h>

namespace screens {

class Menu;

// The screen behind a menu: it fills each page the menu opens and acts on each choice. A choice is the
// opening of the page of that id: an owner that fills no items has acted, and the menu closes.
// Threads: main thread only.
class MenuOwner {
public:
    virtual ~MenuOwner();
    // Fills `items` for the page `id`, whose caption is `caption` (the chosen item's label, or empty).
    virtual void on_menu(Menu& menu, core::StringView id, core::StringView caption, MenuItems& items) = 0;
};

} // namespace screens
