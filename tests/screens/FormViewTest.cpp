#include "ScreensTestSupport.h"

#include <cstdio>
#include <os/FileInfo.h>
#include <screens/FormView.h>
#include <set>
#include <skin/widgets/ProgressElement.h>

using namespace screens_test;

namespace {

constexpr int32_t RATE = 8000;

// A WAV file whose samples tell the second they belong to: 1000 times the second, plus one.
std::string counting_wav(int seconds)
{
    std::vector<int16_t> samples;
    for (int second = 0; second < seconds; ++second)
        samples.insert(samples.end(), RATE, static_cast<int16_t>(1000 * second + 1));
    return testing_support::wav16(RATE, samples);
}

// The seconds that a WAV file of counting samples holds, by their values.
std::set<int> seconds_heard(std::string const& wav)
{
    std::set<int> heard;
    size_t const data = wav.find("data");
    for (int16_t sample : testing_support::samples16(data == std::string::npos ? "" : wav.substr(data + 8)))
        if (sample > 0)
            heard.insert((sample - 1) / 1000);
    return heard;
}

// "h:mm:ss" in seconds.
int seconds_of(String const& text)
{
    int h = 0, m = 0, s = 0;
    return std::sscanf(core::to_utf8(text).c_str(), "%d:%d:%d", &h, &m, &s) == 3 ? h * 3600 + m * 60 + s : -1;
}

class FormViewTest : public ScreensTest {
protected:
    String recording;

    screens::FormView& view() { return main->view(); }
    skin::Form& form() { return view().form(); }
    String text(StringView id) { return ScreensTest::text(form(), id); }
    double bar(StringView id) { return element<skin::ProgressElement>(form(), id).value(); }
    String play_buttons() { return visible(form(), { u"btnPlay", u"btnPause" }); }
    String name_text() { return button_text(form(), u"btnName"); }

    // One recording of `seconds` in the store, listed, and the speaker a WAV file played in real time.
    void list_recording(int seconds, skin::Point screen = { 480, 640 }, int32_t dpi = 192)
    {
        recording = add_note(u"Note one.wav", counting_wav(seconds));
        start(screen, dpi);
        ASSERT_EQ(document->records().size(), 1u);
    }
    void open_row()
    {
        tap_row(main->list(), 0);
        ASSERT_EQ(top(), &form());
    }
    // A press at a fraction of a slider's width, dragged to another, then lifted.
    void slide(StringView id, double from, double to)
    {
        auto const& slider = element(form(), id);
        auto at = [&](double fraction) {
            return slider.position()
                + skin::Point { static_cast<int32_t>(slider.size().x * fraction), slider.size().y / 2 };
        };
        harness->pen_down(at(from));
        harness->wait(40);
        harness->pen_move(at((from + to) / 2));
        harness->wait(40);
        harness->pen_move(at(to));
        harness->pen_up(at(to));
        settle();
    }
    // Real time passes for the player while the screen draws its frames.
    void play_for(double seconds)
    {
        uint32_t const begin = platform::tick_count();
        run_until([&] { return platform::tick_count() - begin >= static_cast<uint32_t>(seconds * 1000); }, seconds + 1);
        harness->advance(80);
    }
};

TEST_F(FormViewTest, PlaysWithMovingTextsSeeksAndFallsBackAtTheEnd)
{
    list_recording(20);
    open_row();
    EXPECT_TRUE(document->is_playing());
    EXPECT_EQ(text(u"frmArtist") + u"|" + text(u"frmInfo") + u"|" + text(u"frmSize") + u"|" + play_buttons(),
        u"|8kHz 16bit 128kbps|313 KB|btnPause ");
    EXPECT_DOUBLE_EQ(view().total_seconds(), 20);

    // The position is what has been heard.
    play_for(2.2);
    int const elapsed = seconds_of(text(u"frmElapsed"));
    EXPECT_TRUE(elapsed >= 2 && elapsed <= 3) << elapsed;
    EXPECT_NEAR(seconds_of(text(u"frmLeft")), 20 - elapsed, 1);
    EXPECT_NEAR(bar(u"pbPosition"), elapsed / 20.0, 0.06);
    EXPECT_GT(bar(u"pbLevel"), 0);
    save("view-playing-480x640");

    // Dragged to nine tenths, playback goes on from there: of the seconds between, only the places where
    // the pen rested on its way (about 10 and 14) are heard, for that moment.
    slide(u"btnPosition", 0.5, 0.9);
    EXPECT_NEAR(bar(u"pbPosition"), 0.9, 0.02);
    play_for(0.3);
    EXPECT_GE(seconds_of(text(u"frmElapsed")), 17);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 5));
    harness->advance(80);
    EXPECT_EQ(std::pair(bar(u"pbPosition"), bar(u"pbLevel")), std::pair(0.0, 0.0));
    EXPECT_EQ(text(u"frmElapsed") + u" " + text(u"frmLeft") + u" " + play_buttons(), u"0:00:00 0:00:20 btnPlay ");
    auto const heard = seconds_heard(testing_support::read_file(speaker));
    EXPECT_TRUE(heard.contains(0) && heard.contains(19));
    auto const passed_over = [](int s) { return s >= 7 && s < 17 && std::abs(s - 10) > 1 && std::abs(s - 14) > 1; };
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(), passed_over), 0);

    // Stopped, the position slider has nothing to seek in; the volume slider still works and is saved.
    slide(u"btnPosition", 0.2, 0.6);
    EXPECT_TRUE(bar(u"pbPosition") == 0 && !document->is_playing());
    slide(u"btnVolume", 0.9, 0.0);
    document::Settings stored;
    stored.load_secondary(false);
    EXPECT_EQ(std::tuple(bar(u"pbVolume"), document->settings().volume, stored.volume), std::tuple(0.0, 0.0, 0.0));

    // Play starts again from the start; the back arrow stops and returns to the list.
    tap(element(form(), u"btnPlay"));
    EXPECT_TRUE(document->is_playing() && play_buttons() == u"btnPause ");
    tap(element(form(), u"btnPause"));
    EXPECT_TRUE(document->is_paused() && play_buttons() == u"btnPlay ");
    tap(element(form(), u"btnClose"));
    EXPECT_TRUE(!document->is_playing() && top() == &main->form());
}

TEST_F(FormViewTest, ARenameReachesTheFileWhenTheScreenIsLeft)
{
    list_recording(2);
    open_row();
    tap(element(form(), u"btnName"));
    ASSERT_EQ(top(), &view().edit_dialog().form());
    type(u"Talk");
    tap(element(view().edit_dialog().form(), u"btnOk"));
    EXPECT_EQ(name_text(), u"Talk");
    EXPECT_TRUE(os::FileInfo(recording).exists()) << "renamed only when the screen is left";
    tap(element(form(), u"btnClose"));
    EXPECT_FALSE(os::FileInfo(recording).exists());
    ASSERT_EQ(document->records().size(), 1u);
    EXPECT_TRUE(document->records()[0].title == u"Talk" && os::FileInfo(document->records()[0].path).exists());
}

TEST_F(FormViewTest, CancellingTheDeleteKeepsTheFileAndOkRemovesIt)
{
    list_recording(4);
    open_row();
    tap(element(form(), u"btnMenu"));
    ASSERT_EQ(top(), &view().menu().form());
    ASSERT_EQ(view().menu().items().size(), 5u);
    EXPECT_EQ(view().menu().items()[0].label, harness->properties().translate(u"Delete_this"));
    choose(view().menu(), u"Delete");
    ASSERT_EQ(top(), &view().confirmation().form());
    EXPECT_EQ(view().confirmation().text(), harness->properties().translate(u"Confirm_trashing_this"));
    EXPECT_FALSE(document->is_playing()) << "the recording stops before the question";
    tap(element(view().confirmation().form(), u"btnCancel"));
    EXPECT_TRUE(top() == &form() && play_buttons() == u"btnPlay ");
    EXPECT_TRUE(os::FileInfo(recording).exists() && document->records().size() == 1);

    tap(element(form(), u"btnMenu"));
    choose(view().menu(), u"Delete");
    tap(element(view().confirmation().form(), u"btnOk"));
    EXPECT_FALSE(os::FileInfo(recording).exists());
    EXPECT_TRUE(document->records().empty() && main->list().row_count() == 0 && top() == &main->form());
}

// The recording screen counts a continuation's time on from the file's length, and the next new recording
// from nothing again.
TEST_F(FormViewTest, AppendRecordsIntoTheFileOnTheRecordingScreen)
{
    list_recording(12);
    open_row();
    use_tone_input(1, true);
    tap(element(form(), u"btnMenu"));
    choose(view().menu(), u"Append");
    ASSERT_TRUE(document->is_recording());
    EXPECT_TRUE(top() == &main->recording().form() && !view().is_shown());
    run_until([] { return platform::wave_input_ended(); });
    settle();
    EXPECT_EQ(ScreensTest::text(main->recording().form(), u"frmElapsed"), u"0:00:13");
    tap(element(main->recording().form(), u"btnClose"));
    EXPECT_FALSE(document->is_recording());

    // At the pace of a microphone: a fast input would be recorded whole before the first look.
    use_tone_input(1, false);
    tap(element(main->form(), u"btnRecord"));
    ASSERT_TRUE(document->is_recording());
    EXPECT_EQ(ScreensTest::text(main->recording().form(), u"frmElapsed"), u"0:00:00");
    document->stop();
}

TEST_F(FormViewTest, AFileWithoutAudioShowsStoppedWithTheBarsAtZero)
{
    write_record(store() + u"/Empty.mp3", u"Ann", u"Nothing", u"Record");
    start();
    tap_row(main->list(), 0);
    ASSERT_EQ(top(), &main->error().form()) << "the message comes over the screen";
    tap(element(main->error().form(), u"btnClose"));
    ASSERT_EQ(top(), &form());
    EXPECT_FALSE(document->is_playing());
    EXPECT_EQ(text(u"frmArtist") + u"|" + name_text(), u"Ann|Nothing");
    EXPECT_EQ(view().total_seconds(), 0);
    slide(u"btnPosition", 0.3, 0.9);
    tap(element(form(), u"btnPlay"));
    harness->advance(80);
    EXPECT_EQ(bar(u"pbPosition"), 0);
    EXPECT_EQ(text(u"frmLeft") + u" " + play_buttons(), u"0:00:00 btnPlay ");
}

} // namespace
