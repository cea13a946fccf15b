#pragma once

#include <core/Strings.h>

#include <vector>

namespace screens {

// One row of a menu page. The id is handed back to the owner when the row is chosen and, translated,
// is the row's text unless a label is given.
struct MenuItem {
    MenuItem() = default;
    explicit MenuItem(core::StringView item_id, core::StringView item_label = {})
        : id(item_id)
        , label(item_label)
    {
    }

    core::String id;
    core::String label;
    // The skin form that draws the row; empty for the menu's default element.
    core::String style;
    bool enabled = true;
    bool separator = false;
    bool checked = false;
};

using MenuItems = std::vector<MenuItem>;

// The element a row is drawn with: the item's style or the default, followed by "Disabled" for an item
// that is not enabled.
core::String menu_row_element(MenuItem const& item, core::StringView default_element);
// The row's text: the label, else the translated id.
core::String menu_row_text(MenuItem const& item, core::StringView translated_id);
// The pages hold the same ids in the same order (a page opened again only redraws its rows).
bool same_page(MenuItems const& a, MenuItems const& b);
// The boost levels of the "Boost" page, "BoostOff" first, the current setting `boost` checked.
void append_boost_items(MenuItems& items, core::StringView boost);

} // namespace screens
