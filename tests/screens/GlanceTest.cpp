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
        return run_until([&] { return harness->advance(50), recording_text(u"frmElapsed").empty() == blank; }, 3);
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
    EXPECT_EQ(row_mark() + u"|" + recording_text(u"frmPaused"), u"\u25CF|");
    auto title_width = [&] {
        settle();
        auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(0));
        return row ? row->artist().size().x : 0;
    };
    int32_t const beside_mark = title_width();

    tap(element(main->recording().form(), u"btnPause"));
    ASSERT_TRUE(document->is_paused());
    EXPECT_EQ(row_mark() + u"|" + recording_text(u"frmPaused"), u"\u275A\u275A|Paused");
    EXPECT_NE(recording_text(u"frmInfo"), u"Paused") << "the word has a line of its own here";
    // Paused, the time blinks.
    EXPECT_TRUE(elapsed_turns(true));
    EXPECT_TRUE(elapsed_turns(false));

    tap(element(main->recording().form(), u"btnResume"));
    EXPECT_EQ(row_mark() + u"|" + recording_text(u"frmPaused"), u"\u25CF|");
    document->stop();
    settle();
    EXPECT_EQ(row_mark(), u"");
    // Without its mark, a row gives the title the mark's room, which a date with seconds needs.
    EXPECT_GT(title_width(), beside_mark);
    // The new recording's row tells its length at once.
    auto* row = dynamic_cast<screens::RecordRow*>(main->list().row(0));
    EXPECT_TRUE(row && row->name().text().find(u" · 0:0") != String::npos)
        << (row ? core::to_utf8(row->name().text()) : "");
}

// The smallest landscape screen leaves the word no line of its own: the format's line says it meanwhile.
TEST_F(GlanceTest, PausedOnASmallLandscapeScreenIsSaidOnTheFormatsLine)
{
    use_tone_input(60, false);
    start({ 320, 240 }, 96);
    tap(element(main->form(), u"btnRecord"));
    String const format = recording_text(u"frmInfo");
    tap(element(main->recording().form(), u"btnPause"));
    settle();
    EXPECT_EQ(recording_text(u"frmInfo"), u"Paused");
    // In the word's own colour, also after the skin is loaded again (a turned screen).
    harness->properties().send_reload_skin();
    settle();
    auto& form = main->recording().form();
    auto const& info = element<skin::TextElement>(form, u"frmInfo");
    EXPECT_TRUE(info.text() == u"Paused" && info.highlight_length() == 6
        && info.highlight_color() == element<skin::TextElement>(form, u"frmPaused").style().color);
    tap(element(main->recording().form(), u"btnResume"));
    settle();
    EXPECT_EQ(recording_text(u"frmInfo"), format);
    EXPECT_FALSE(format.empty());
}

TEST_F(GlanceTest, LettersTypedOnAKeyboardFilterByNameAndShowInTheBar)
{
    for (auto title : { u"Budget talk", u"Zed", u"Бюджет, отчёт" })
        add_record(u"Record", title);
    start();
    auto state
        = [&] { return text(main->form(), u"title") + u"|" + core::decimal(int64_t(main->filter().shown().size())); };
    // Word starts only ("Budget", not inside "talk"), lower-cased; digits are the keypad's; once nothing is
    // shown, more letters change nothing.
    type(u"B");
    EXPECT_EQ(state(), u"b|1");
    type(u"T7Ё");
    EXPECT_TRUE(main->filter_open() && state() == u"bt|0") << core::to_utf8(state());
    tap(element(main->form(), u"btnCloseFilter"));
    type(u"ОТ"); // the second word of "Бюджет, отчёт"
    EXPECT_EQ(state(), u"от|1");
}

} // namespace
