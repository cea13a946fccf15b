#include "ScreensTestSupport.h"

using namespace screens_test;
using core::String;

namespace {

// A page "Options" of many rows whose choice "Toggle" flips a check mark and opens the page again, as
// the settings pages do; "Next" fills another page; "Act" acts and fills nothing.
class Owner final : public screens::MenuOwner {
public:
    void on_menu(screens::Menu& menu, core::StringView id, core::StringView caption, screens::MenuItems& items) override
    {
        asked.emplace_back(id);
        captions.emplace_back(caption);
        if (id == u"Options") {
            items.emplace_back(u"Toggle").checked = on;
            items.emplace_back(u"Off", u"Switched off").enabled = false;
            items.emplace_back(u"Next", u"Further");
            for (int i = 0; i < 12; ++i)
                items.emplace_back(u"Filler" + core::decimal(i));
            items.emplace_back(u"Cancel");
        } else if (id == u"Toggle") {
            on = !on;
            menu.open(u"Options", u"", screens::PageOpening::IN_PLACE);
        } else if (id == u"Next") {
            items.emplace_back(u"Act");
        }
    }
    bool on = false;
    std::vector<String> asked;
    std::vector<String> captions;
};

class MenuTest : public ScreensTest {
protected:
    Owner owner;
    String row_text(screens::Menu& menu, int32_t index)
    {
        auto* row = menu.list().row(index);
        auto* text = row ? dynamic_cast<skin::TextElement*>(row->find_child(u"#text")) : nullptr;
        return text ? text->text() : u"(none)";
    }
};

TEST_F(MenuTest, PagesAreFilledByTheOwnerAndRedrawnInPlace)
{
    start();
    screens::Menu menu(harness->properties(), *host, owner);
    menu.open(u"Options", u"", screens::PageOpening::SHOW_MENU);
    settle();
    ASSERT_TRUE(menu.is_open());
    EXPECT_EQ(top(), &menu.form());
    // The caption is the translated id: the language has no such key.
    EXPECT_EQ(
        owner.captions.back() + u"|" + row_text(menu, 0) + u"|" + row_text(menu, 1), u"Options|Toggle|Switched off");
    ASSERT_NE(menu.list().row(1), nullptr);
    EXPECT_EQ(menu.list().row(1)->id(), u"MenuElementDisabled");
    EXPECT_FALSE(menu.list().row(0)->find_child(u"checked")->visible());

    // A disabled row does nothing.
    tap_row(menu.list(), 1);
    EXPECT_EQ(owner.asked.size(), 1u);

    // Flipping the option keeps the page, its scroll position and its rows, with the new mark.
    harness->pen_down({ 240, 500 });
    harness->pen_move({ 240, 470 });
    harness->pen_move({ 240, 440 });
    harness->pen_up({ 240, 440 });
    settle();
    double const scrolled = menu.list().scroll();
    auto* first_row = menu.list().row(0);
    ASSERT_TRUE(first_row && scrolled < 0);
    tap_row(menu.list(), 0);
    EXPECT_EQ(menu.page(), u"Options");
    EXPECT_TRUE(menu.is_open() && menu.items()[0].checked && first_row->find_child(u"checked")->visible());
    EXPECT_EQ(std::pair(menu.list().scroll(), menu.list().row(0)), std::pair(scrolled, first_row));

    // Another page takes the label as caption; an action closes the menu.
    tap_row(menu.list(), 2);
    EXPECT_EQ(menu.page() + u"|" + owner.captions.back(), u"Next|Further");
    EXPECT_EQ(menu.list().count(), 1);
    tap_row(menu.list(), 0);
    EXPECT_TRUE(!menu.is_open() && top() == &main->form());
    EXPECT_EQ(owner.asked.back(), u"Act");
}

} // namespace
