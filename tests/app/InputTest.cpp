#include "AppTestSupport.h"

#include <app/KeyTable.h>
#include <os/Registry.h>
#include <skin/Form.h>
#include <skin/KeyNames.h>
#include <skin/widgets/EditElement.h>

using namespace app_test;
using platform::HeadlessDisplay;

namespace {

// A form that writes down what reaches it, one event a line, counts its ticks and, while `moving`,
// wants them and asks for a frame at every one.
class ProbeForm final : public skin::Form {
public:
    bool on_pen(skin::PenEvent const& e) override
    {
        char const* what = e.cancel ? "cancel " : "up ";
        pens += (e.down ? "down " : what) + std::to_string(e.x) + " " + (e.cancel ? "" : std::to_string(e.y)) + "\n";
        return true;
    }
    bool on_key(skin::KeyEvent const& e) override
    {
        keys += std::string(e.first ? "first " : "") + (e.down ? "down " : "up ") + std::to_string(e.code) + "\n";
        return true;
    }
    bool on_char(char16_t character) override
    {
        text += character;
        return true;
    }
    bool on_wheel(skin::Point point, int32_t notches) override
    {
        wheel += std::to_string(point.x) + " " + std::to_string(point.y) + ": " + std::to_string(notches) + "\n";
        return true;
    }
    void tick(double seconds) override
    {
        Form::tick(seconds);
        ++ticks;
        if (moving)
            mark_redraw();
    }
    bool wants_tick() const override { return moving; }

    bool moving = true;
    int ticks = 0;
    std::string pens, keys, wheel;
    std::u16string text;
};

class CountingListener final : public app::ApplicationListener {
public:
    void on_screen_changed() override { ++screen_changes; }
    int screen_changes = 0;
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_test_data();
        application = std::make_unique<app::Application>(u"Ravelin");
        application->form_stack().show_form(&form, skin::FormMode::FULL_SCREEN);
        application->set_listener(&listener);
    }
    void TearDown() override
    {
        application->form_stack().close_form(&form);
        application->set_listener(nullptr);
        application.reset();
        testing_support::drain_messages();
    }
    HeadlessDisplay& display() { return headless(*application); }
    // Enough for every posted message to be handled.
    void settle() { pump(*application, 60); }

    ProbeForm form;
    CountingListener listener;
    std::unique_ptr<app::Application> application;
};

} // namespace

TEST(KeyTableTest, VirtualKeysGiveTheirCodes)
{
    struct Row {
        uint32_t vk;
        int32_t code;
    };
    Row const rows[] = { { 8, 11 }, { 27, 8 }, { 9, 18 }, { 13, 9 }, { 16, 1 }, { 17, 2 }, { 18, 3 }, { 32, 10 },
        { 33, 17 }, { 34, 16 }, { 35, 15 }, { 36, 14 }, { 37, 4 }, { 38, 6 }, { 39, 5 }, { 40, 7 }, { 45, 13 },
        { 46, 12 }, { 48, 46 }, { 57, 55 }, { 65, 20 }, { 90, 45 }, { 93, 19 }, { 112, 61 }, { 113, 62 }, { 114, 58 },
        { 115, 59 }, { 116, 0 }, { 117, 63 }, { 118, 64 }, { 119, 56 }, { 120, 57 }, { 121, 19 }, { 191, 65 },
        { 47, 0 }, { 64, 0 }, { 91, 0 }, { 0x10004, 0 } };
    for (auto const& row : rows)
        EXPECT_EQ(app::key_code(row.vk), row.code) << row.vk;
}

// A pen lifted outside the window arrives where it was lifted; a lost capture ends the press as a cancel
// (the window no longer holds the pen when it is lifted).
TEST_F(InputTest, APenLiftedOutsideArrivesThereAndALostCaptureCancels)
{
    display().pen_down(30, 40);
    display().pen_up(-5, 700);
    display().pen_down(30, 40);
    display().lose_focus();
    display().pen_up(30, 40);
    settle();
    EXPECT_EQ(form.pens,
        "down 30 40\nup -5 700\ndown 30 40\ncancel " + std::to_string(app::GameBase::PEN_LIFTED_NOWHERE) + " \n");
}

// Keys repeat with "first" clear; characters arrive, and the wheel at the pointer.
TEST_F(InputTest, KeysRepeatWithFirstClearAndCharactersAndTheWheelArrive)
{
    display().wheel(30, 40, -2);
    display().wheel(5, 6, 1);
    for (bool repeat : { false, true, true })
        display().key(platform::VK_A + 2, true, repeat);
    display().key(platform::VK_A + 2, false);
    display().key(0x10004, true); // outside the table: delivered as code 0
    display().text(u"a\b ж");
    settle();
    std::string const c = std::to_string(skin::KEY_A + 2);
    EXPECT_EQ(form.keys, "first down " + c + "\ndown " + c + "\ndown " + c + "\nfirst up " + c + "\nfirst down 0\n");
    EXPECT_EQ(form.text, u"a ж"); // control characters are not text; a space is
    EXPECT_EQ(form.wheel, "30 40: -2\n5 6: 1\n");
}

// A window behind another keeps drawing; a minimised one is inactive and draws nothing until it comes back.
TEST_F(InputTest, DeactivationStopsFramesAndReactivationResumesThemButAWindowBehindKeepsDrawing)
{
    settle();
    EXPECT_GT(display().frames(), 0u);
    display().lose_focus();
    settle();
    uint64_t const behind = display().frames();
    pump(*application, 300);
    EXPECT_TRUE(application->is_active() && display().frames() > behind + 3);
    display().minimize();
    settle();
    EXPECT_FALSE(application->is_active());
    uint64_t const frozen = display().frames();
    pump(*application, 300);
    EXPECT_EQ(display().frames(), frozen);
    application->bring_to_front();
    pump(*application, 300);
    EXPECT_TRUE(application->is_active() && display().frames() > frozen + 3);
}

// Nothing moves: the window neither ticks nor draws until a message asks for a redraw, which is painted at
// once, with no frame timer to wait for.
TEST_F(InputTest, AWindowAtRestSleepsUntilARedrawIsAsked)
{
    form.moving = false;
    settle();
    EXPECT_FALSE(application->frames_running());
    int const ticks = form.ticks;
    uint64_t const frames = display().frames();
    pump(*application, 300);
    EXPECT_EQ(form.ticks, ticks);
    EXPECT_EQ(display().frames(), frames);

    form.mark_redraw();
    display().key(platform::VK_A, true); // any message will do
    pump(*application, 5, [&] { return display().frames() > frames; });
    EXPECT_EQ(display().frames(), frames + 1);
    settle();
    EXPECT_EQ(display().frames(), frames + 1);
    EXPECT_FALSE(application->frames_running());

    form.moving = true;
    form.mark_redraw();
    display().key(platform::VK_A, false);
    pump(*application, 300);
    EXPECT_TRUE(application->frames_running());
    EXPECT_GT(display().frames(), frames + 4);
}

TEST_F(InputTest, OnlyARealChangeOfTheScreenIsOne)
{
    display().resize(640, 480);
    settle();
    EXPECT_EQ(std::pair(listener.screen_changes, application->screen().orientation), std::pair(1, 1));
    EXPECT_EQ(application->form_stack().window_size(), (skin::Point { 640, 480 }));
    pump(*application, 100);
    EXPECT_EQ(display().frame_width(), 640);
    // A settings change that leaves size and orientation alone is none.
    platform::post_message(application->window(), platform::WM_SETTINGCHANGE, platform::SETTING_WORK_AREA, 0);
    display().resize(640, 480);
    settle();
    EXPECT_EQ(listener.screen_changes, 1);
    display().resize(480, 640);
    settle();
    EXPECT_EQ(listener.screen_changes, 2);
}

TEST_F(InputTest, EditingTurnsTextInputOnOverTheEdit)
{
    auto* edit = new skin::EditElement(&form); // the form owns it
    edit->set_geometry_x(10, 200);
    edit->set_geometry_y(80, 40);
    application->set_edit(edit);
    EXPECT_TRUE(display().text_input());
    EXPECT_EQ(std::pair(display().text_rect().x, display().text_rect().height), std::pair(10, 40));
    application->set_edit(nullptr);
    uint32_t sip = 7;
    EXPECT_TRUE(os::reg_get_dword(u"HKEY_CURRENT_USER\\Software\\Korvex", u"SIPPreference", sip));
    EXPECT_EQ(std::pair(display().text_input(), sip), std::pair(false, 0u));
}
