#include <TestSupport.h>
#include <platform/display/display.h>

using namespace platform;

TEST(DisplayTest, ScreenDescriptionsParseOrAreRefused)
{
    for (auto const& [text, parsed] : { std::pair { "480x640@192", Screen { 480, 640, 192, 0 } },
             std::pair { "800x480@96", Screen { 800, 480, 96, 1 } } }) {
        Screen screen;
        EXPECT_TRUE(parse_screen(text, screen) && screen == parsed) << text;
    }
    for (char const* bad : { "", "480x640", "480x640@", "x640@96", "480*640@96", "480x640@96 ", "-480x640@96",
             "480x640@96x", "99999x640@96", "480x640@0", "480x640@4294967392" }) {
        Screen kept { 1, 2, 3, 0 };
        EXPECT_FALSE(parse_screen(bad, kept)) << bad;
        EXPECT_EQ(kept, (Screen { 1, 2, 3, 0 })) << bad;
    }
}

TEST(DisplayTest, PointsOutsideTheWindowSurviveTheMessage)
{
    for (auto [x, y] : { std::pair { -5, 700 }, std::pair { 0, -1 }, std::pair { 32767, -32768 } }) {
        intptr_t const lparam = point_lparam(x, y);
        EXPECT_EQ(std::pair(lparam_x(lparam), lparam_y(lparam)), std::pair(x, y));
    }
}

namespace {

std::vector<Message> drain(Hwnd window)
{
    std::vector<Message> out;
    Message m;
    while (peek_message(m, window, 0, 0, Peek::REMOVE))
        out.push_back(m);
    return out;
}

} // namespace

TEST(DisplayTest, HeadlessInputBecomesTheWindowsMessages)
{
    testing_support::TestWindow const test_window(u"DisplayTestWindow");
    Hwnd const window = test_window.handle;
    HeadlessDisplay display;
    ASSERT_TRUE(display.open(u"test", Screen {}, window));

    // A lift without a press, and moves without a press, are not the pen's.
    display.pen_up(1, 1);
    display.pen_move(2, 2);
    EXPECT_TRUE(drain(window).empty());

    // Focus lost while the pen is held: the capture is lost first, then the window deactivates, once.
    display.pen_down(3, 4);
    display.lose_focus();
    display.minimize();
    auto messages = drain(window);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(std::tuple(messages[0].message, messages[1].message, messages[2].message, messages[2].wparam),
        std::tuple(WM_LBUTTONDOWN, WM_CAPTURECHANGED, WM_ACTIVATE, uintptr_t(WA_INACTIVE)));
    display.pen_up(3, 4); // the lost press has no lift any more
    display.restore();
    messages = drain(window);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wparam, WA_ACTIVE);

    // Keys carry the repeat and release bits; text arrives one code unit at a time.
    display.key(VK_A, true);
    display.key(VK_A, true, true);
    display.key(VK_A, false);
    display.text(u"ж😀");
    messages = drain(window);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_TRUE(!(messages[0].lparam & KEY_REPEAT_BIT) && (messages[1].lparam & KEY_REPEAT_BIT));
    EXPECT_EQ(std::tuple(messages[2].message, messages[3].wparam, messages[4].wparam, messages[5].wparam),
        std::tuple(WM_KEYUP, uintptr_t(u'ж'), uintptr_t(0xD83D), uintptr_t(0xDE00)));
}
