#include "ScreensTestSupport.h"

#include <linux/input-event-codes.h>
#include <platform/services/key_service.h>
#include <screens/FormQuickRecord.h>
#include <skin/PictureHolder.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/ListRow.h>

using namespace screens_test;

namespace {

class QuickRecordTest : public ScreensTest {
protected:
    void add_button(StringView sub_key, StringView name, StringView command, StringView icon)
    {
        auto const key = String(keys::KEY_TABLE) + u"\\" + String(sub_key);
        ASSERT_TRUE(os::reg_set_string(key, u"Name", name) && os::reg_set_string(key, u"", command)
            && os::reg_set_string(key, u"Icon", icon));
    }
    static int32_t row_of(screens::FormQuickRecord& quick, StringView name)
    {
        auto const& b = quick.buttons();
        auto const at = std::find_if(b.begin(), b.end(), [&](auto const& k) { return k.name == name; });
        return at == b.end() ? -1 : static_cast<int32_t>(at - b.begin());
    }
    static bool checked(screens::FormQuickRecord& quick, int32_t row)
    {
        auto* r = quick.list().row(row);
        EXPECT_NE(r, nullptr);
        return r && r->find_child(u"checked")->visible() && !r->find_child(u"unchecked")->visible();
    }
};

TEST_F(QuickRecordTest, AtMostOneButtonIsBoundAndTappingTheBoundOneReleasesIt)
{
    add_button(u"QrA", u"Alpha", u"/usr/bin/alpha", u"key_record");
    add_button(u"QrB", u"Beta", u"\"/usr/bin/beta\" --now", u"key_camera");
    add_button(u"QrC", u"Gamma", u"", u"");
    start();
    screens::FormQuickRecord quick(harness->properties(), *host);
    quick.prepare();
    quick.show();
    settle();
    ASSERT_EQ(top(), &quick.form());
    int32_t const a = row_of(quick, u"Alpha"), b = row_of(quick, u"Beta");
    ASSERT_TRUE(a >= 0 && b >= 0);
    auto checks = [&] { return std::pair(checked(quick, a), checked(quick, b)); };
    EXPECT_EQ(checks(), std::pair(false, false));
    tap_row(quick.list(), a);
    EXPECT_EQ(checks(), std::pair(true, false));
    settle();
    save("quick-record-480x640");
    tap_row(quick.list(), b);
    EXPECT_EQ(checks(), std::pair(false, true));
    tap_row(quick.list(), b);
    EXPECT_EQ(checks(), std::pair(false, false));

    // What the table holds is what the rows showed.
    quick.prepare();
    for (auto const& k : quick.buttons())
        EXPECT_FALSE(k.assigned) << core::to_utf8(k.name);

    quick.on_click(&element(quick.form(), u"btnOk"), {});
    settle();
    EXPECT_FALSE(quick.is_shown());
}

TEST_F(QuickRecordTest, AButtonsIconSitsOnTheIconBackgroundAndOneWithoutKeepsTheRowsPicture)
{
    add_button(u"QrIcon", u"A1 Icon", u"", u"main_memory,0");
    add_button(u"QrPlain", u"A3 Plain", u"", u"");
    add_button(u"QrMissing", u"A2 Missing", u"", u"no_such_picture");
    start();
    screens::FormQuickRecord quick(harness->properties(), *host);
    quick.prepare();
    quick.show();
    settle();
    // Named to sort first, so that their rows are on screen whatever other buttons the table holds.
    auto picture = [&](StringView name) {
        auto* row = quick.list().row(row_of(quick, name));
        auto* image = row ? dynamic_cast<skin::ImageElement*>(row->find_child(u"icon")) : nullptr;
        return image ? image->picture().picture : skin::PictureHandle();
    };
    auto const plain = picture(u"A3 Plain"), icon = picture(u"A1 Icon");
    ASSERT_TRUE(plain && icon);
    EXPECT_EQ(plain, picture(u"A2 Missing"));
    EXPECT_NE(icon, plain);

    // Where the skin's picture is transparent, the row's shows the "icon_color" background.
    auto& properties = harness->properties();
    auto const source = properties.lookup_picture(properties.find_entry(u"main_memory"), u"src", {}).picture;
    auto const colour = properties.lookup_color(properties.find_entry(u"icon_color"), u"color", {});
    EXPECT_NE(colour, (skin::Color {})) << "the skin names the icon background";
    uint16_t const background = colour.to_565() | skin::Bitmap565::OPAQUE;
    int transparent = 0, wrong = 0;
    for (int32_t y = 0; y < source->bitmap().height(); ++y)
        for (int32_t x = 0; x < source->bitmap().width(); ++x) {
            uint16_t const p = source->bitmap().row(y)[x];
            wrong += icon->bitmap().row(y)[x] != (p == skin::Bitmap565::KEY ? background : p);
            transparent += p == skin::Bitmap565::KEY;
        }
    EXPECT_TRUE(transparent > 0 && wrong == 0) << transparent << " transparent, " << wrong << " wrong";
}

// The button service names the skin's pictures: each button it may publish shows one of them.
TEST_F(QuickRecordTest, EveryButtonTheServicePublishesShowsAPictureOfTheSkin)
{
    start();
    screens::FormQuickRecord quick(harness->properties(), *host);
    // Power and volume without letters make the volume keys a phone's, so every button is offered.
    platform::InputDevice device { "all", {} };
    for (int code = 1; code <= KEY_MAX; ++code)
        if (code != KEY_A)
            device.keys.push_back(code);
    auto const buttons = platform::assignable_buttons(device);
    ASSERT_FALSE(buttons.empty());
    EXPECT_TRUE(buttons.front().long_press) << "the phone's volume keys are among them";
    for (auto const& b : buttons) {
        keys::HardwareKey key;
        key.icon = b.icon;
        EXPECT_FALSE(quick.icon_picture(key).empty()) << core::to_utf8(b.name) << ": " << core::to_utf8(key.icon);
    }
}

} // namespace
