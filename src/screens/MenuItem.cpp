#include "MenuItem.h"

#include <algorithm>
#include <array>

namespace screens {

namespace {

constexpr std::array<core::StringView, 4> BOOST_LEVELS = { u"BoostOff", u"Boost1", u"Boost2", u"Boost3" };

} // namespace

core::String menu_row_element(MenuItem const& item, core::StringView default_element)
{
    core::String name(item.style.empty() ? default_element : core::StringView(item.style));
    if (!item.enabled)
        name += u"Disabled";
    return name;
}

core::String menu_row_text(MenuItem const& item, core::StringView translated_id)
{
    return item.label.empty() ? core::String(translated_id) : item.label;
}

bool same_page(MenuItems const& a, MenuItems const& b)
{
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](MenuItem const& x, MenuItem const& y) { return x.id == y.id; });
}

void append_boost_items(MenuItems& items, core::StringView boost)
{
    // "No boost" is one of the choices, not an option that is off: chosen, it is checked like the others.
    for (core::StringView level : BOOST_LEVELS) {
        MenuItem item(level);
        item.checked = boost == level;
        items.push_back(item);
    }
}

} // namespace screens
