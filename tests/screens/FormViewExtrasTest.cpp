#include "ScreensTestSupport.h"

#include <screens/FormView.h>

using namespace screens_test;

namespace {

// A 30-second recording on the playback screen, paused at once so that only skips move it.
class FormViewExtrasTest : public ScreensTest {
protected:
    skin::Form& form() { return main->view().form(); }
    void open_paused()
    {
        add_note(u"Note.wav", testing_support::wav16(8000, std::vector<int16_t>(240000, 50)));
        start();
        tap_row(main->list(), 0);
        ASSERT_EQ(top(), &form());
        tap(element(form(), u"btnPause"));
        ASSERT_TRUE(document->is_paused());
    }
    // Where the playback stands, in whole seconds as the screen shows it and as the Document has it.
    std::pair<String, int> at() { return { text(form(), u"frmElapsed"), int(document->play_position() + 0.5) }; }
};

} // namespace

TEST_F(FormViewExtrasTest, ButtonsAndArrowsSkipTenSecondsAndAFocusedSliderKeepsItsArrows)
{
    open_paused();
    tap(element(form(), u"btnSkipForward"));
    EXPECT_EQ(at(), std::pair(String(u"0:00:10"), 10));
    press(skin::KEY_RIGHT);
    EXPECT_EQ(at(), std::pair(String(u"0:00:20"), 20));
    press(skin::KEY_LEFT);
    EXPECT_EQ(at(), std::pair(String(u"0:00:10"), 10));
    tap(element(form(), u"btnSkipBack"));
    tap(element(form(), u"btnSkipBack"));
    EXPECT_EQ(at(), std::pair(String(u"0:00:00"), 0));

    // The focused position slider moves by a twentieth, the volume slider moves the volume only.
    ASSERT_TRUE(form().set_focus(&element(form(), u"btnPosition")));
    press(skin::KEY_RIGHT);
    EXPECT_NEAR(document->play_position(), 1.5, 0.01);
    ASSERT_TRUE(form().set_focus(&element(form(), u"btnVolume")));
    double const volume = document->settings().volume;
    press(skin::KEY_LEFT);
    EXPECT_NEAR(document->play_position(), 1.5, 0.01);
    EXPECT_LT(document->settings().volume, volume);
}

// Without a file chooser the copy goes into the music folder, and the screen says where.
TEST_F(FormViewExtrasTest, SaveACopyWithoutAChooserTellsWhereItWent)
{
    open_paused();
    tap(element(form(), u"btnMenu"));
    choose(main->view().menu(), u"SaveCopy");
    ASSERT_TRUE(run_until([&] { return main->view().message().is_shown(); }));
    String const path = core::from_utf8(testing_support::test_home() + "/Music/Note.wav");
    EXPECT_EQ(main->view().message().text(), u"A copy was saved in your music folder: " + path);
    settle();
    save("view-copy-saved-480x640");
    tap(element(main->view().message().form(), u"btnClose"));
    EXPECT_EQ(top(), &form());
}
