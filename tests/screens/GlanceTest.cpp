#include "ScreensTestSupport.h"

using namespace screens_test;

namespace {

class GlanceTest : public ScreensTest {
protected:
    String row_mark()
    {
        auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(0));
        return row && row->state() ? row->state()->text() : u"(no row)";
    }
    String recording_text(StringView id) { return text(main->recording().form(), id); }
    // Frames until the elapsed time is blank (`blank`) or shown again.
    bool elapsed_turns(bool blank)
    {
        run_until(
            [&] {
                harness->advance(50);
                return recording_text(u"frmElapsed").empty() == blank;
            },
            3);
        return recording_text(u"frmElapsed").empty() == blank;
    }
};

TEST_F(GlanceTest, AnEmptyListSaysWhatToDoAndARecordingInProgressIsMarkedPausedOrRunning)
{
    use_tone_input(60, false);
    start();
    EXPECT_TRUE(element(main->form(), u"emptyHint").visible());

    tap(element(main->form(), u"btnRecord"));
    ASSERT_TRUE(document->is_recording());
    EXPECT_FALSE(element(main->form(), u"emptyHint").visible());
    EXPECT_EQ(row_mark(), u"\u25CF");
    EXPECT_EQ(recording_text(u"frmPaused"), u"");

    tap(element(main->recording().form(), u"btnPause"));
    ASSERT_TRUE(document->is_paused());
    EXPECT_EQ(recording_text(u"frmPaused"), u"Paused");
    EXPECT_EQ(row_mark(), u"\u275A\u275A");
    // Paused, the time blinks.
    EXPECT_TRUE(elapsed_turns(true));
    EXPECT_TRUE(elapsed_turns(false));

    tap(element(main->recording().form(), u"btnResume"));
    EXPECT_EQ(recording_text(u"frmPaused"), u"");
    EXPECT_EQ(row_mark(), u"\u25CF");
    document->stop();
    settle();
    EXPECT_EQ(row_mark(), u"");
}

TEST_F(GlanceTest, LettersTypedOnAKeyboardFilterByNameAndShowInTheBar)
{
    add_record(u"Record", u"Budget talk");
    add_record(u"Ann Lee", u"call", u"Incoming");
    add_record(u"Record", u"Бюджет, отчёт");
    add_record(u"Record", u"Zed");
    start();
    struct Typed {
        char16_t const* keys;
        size_t shown;
        char16_t const* bar;
    } const steps[] = {
        { u"B", 1, u"b" }, // word starts only: "Budget", not "Zed"'s or "talk"'s insides
        { u"T", 0, u"bt" }, { u"7", 0, u"bt" }, // digits are the keypad's
        { u"Ё", 0, u"bt" }, // once nothing is shown, more letters change nothing
    };
    for (auto const& step : steps) {
        type(step.keys);
        EXPECT_TRUE(main->filter_open()) << core::to_utf8(step.keys);
        EXPECT_EQ(main->filter().shown().size(), step.shown) << core::to_utf8(step.keys);
        EXPECT_EQ(text(main->form(), u"title"), step.bar) << core::to_utf8(step.keys);
    }
    tap(element(main->form(), u"btnCloseFilter"));
    type(u"ОЛ");
    EXPECT_EQ(text(main->form(), u"title") + u"|" + core::decimal(int64_t(main->filter().shown().size())), u"ол|0");
    tap(element(main->form(), u"btnCloseFilter"));
    type(u"от");
    EXPECT_EQ(main->filter().shown().size(), 1u); // the second word of "Бюджет, отчёт"
}

} // namespace
