#include "ScreensTestSupport.h"

#include <screens/FormView.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/WaveformElement.h>

using namespace screens_test;

namespace {

constexpr int32_t TONE_RATE = 8000;

class WaveformScreensTest : public ScreensTest {
protected:
    skin::WaveformElement& wave(skin::Form& form) { return element<skin::WaveformElement>(form, u"waveform"); }
    // Frames until the playback screen's waveform shows the whole recording.
    bool until_whole(skin::Form& form)
    {
        return run_until([&] {
            harness->advance(40);
            return wave(form).known() >= 1;
        });
    }
    // A tap at a share of the waveform's width.
    void tap_wave(skin::Form& form, double fraction)
    {
        auto const& w = wave(form);
        tap_at(w.position() + skin::Point { static_cast<int32_t>(w.size().x * fraction), w.size().y / 2 });
    }
};

// A recording louder each second: its waveform grows from left to right, and a tap on it seeks.
TEST_F(WaveformScreensTest, PlaybackShowsTheWholeRecordingAndATapSeeks)
{
    std::vector<int16_t> samples;
    for (int second = 0; second < 20; ++second) {
        auto const t = testing_support::tone(1, TONE_RATE, 1000 + 1500 * second);
        samples.insert(samples.end(), t.begin(), t.end());
    }
    add_note(u"Note one.wav", testing_support::wav16(TONE_RATE, samples));
    start();
    tap_row(main->list(), 0);
    skin::Form& form = main->view().form();
    ASSERT_EQ(top(), &form);
    ASSERT_TRUE(until_whole(form));
    std::vector<uint8_t> const bars = wave(form).bar_peaks();
    ASSERT_GT(bars.size(), 20u);
    // Louder to the right (a bar may miss its tone's very top by a step).
    for (size_t i = 1; i < bars.size(); ++i)
        EXPECT_GE(bars[i] + 2, bars[i - 1]) << i;
    EXPECT_LT(bars.front() * 5, bars.back());

    ASSERT_TRUE(document->is_playing());
    tap_wave(form, 0.75);
    EXPECT_NEAR(document->play_position(), 15, 0.6);
    EXPECT_NEAR(element<skin::ProgressElement>(form, u"pbPosition").value(), 0.75, 0.03);
    EXPECT_NEAR(wave(form).played(), 0.75, 0.03);
}

// The recording screen's waveform scrolls in one bar for each tenth of a second recorded, the newest at
// the right edge; what came before the recording stays empty.
TEST_F(WaveformScreensTest, RecordingScrollsTheLevelInFromTheRight)
{
    use_tone_input(2.5, true);
    start();
    tap(element(main->form(), u"btnRecord"));
    skin::Form& form = main->recording().form();
    ASSERT_EQ(top(), &form);
    run_until([] { return platform::wave_input_ended(); });
    settle();
    std::vector<uint8_t> const bars = wave(form).bar_peaks();
    auto const drawn = std::count_if(bars.begin(), bars.end(), [](uint8_t b) { return b > 0; });
    auto const due = static_cast<long>(document->recorded_seconds() / screens::FormRecording::WAVE_BAR_SECONDS);
    ASSERT_GT(due, 10);
    ASSERT_LT(due, static_cast<long>(bars.size()));
    EXPECT_NEAR(drawn, due, 1);
    EXPECT_GT(bars.back(), 0);
    EXPECT_EQ(bars.front(), 0);
    tap(element(form, u"btnClose"));
}

} // namespace
