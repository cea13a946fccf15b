#include "ElementTestSupport.h"

#include <cmath>
#include <skin/widgets/WaveformElement.h>

using namespace skin_testing;
using skin::Point;
using skin::WaveformElement;

namespace {

constexpr uint16_t WAVE = 0xF800, PLAYED = 0x07C0, CENTRE = 0x001F, BACK = 0;

// The bars of the test skin's waveform at a dpi: `scale` physical pixels per design pixel.
class Waveform : public testing::TestWithParam<int32_t> {
protected:
    int32_t scale() const { return GetParam() >= 192 ? 2 : 1; }
    // 10 bars of 2 with gaps of 1, in design pixels, over 20 rows.
    void build()
    {
        ASSERT_TRUE(skin.loaded);
        root = skin.build(u"Waveform", 29 * scale(), 20 * scale());
        wave = find<WaveformElement>(*root, u"waveform");
        ASSERT_NE(wave, nullptr);
    }
    skin::RenderSurface& paint()
    {
        surface.recreate(root->size());
        skin::fill(surface, {}, surface.size(), skin::Color { 255, 255, 255, 255 });
        root->paint(surface, {});
        return surface;
    }
    // The 565 colour at a physical pixel, without the opaque mark.
    uint16_t at(int32_t x, int32_t y) { return static_cast<uint16_t>(surface.bitmap()->at(x, y) & ~0x0020); }

    SkinFixture skin { "waveform.skin", GetParam() };
    std::unique_ptr<TestHost> root;
    WaveformElement* wave = nullptr;
    skin::RenderSurface surface { Point { 1, 1 } };
};

// Peaks spread over the bars, the played part in its colour, heights from the centre, the gaps and what is
// not yet known left to the background and the centre line.
TEST_P(Waveform, DrawsThePeaksWithThePlayedPartInItsColour)
{
    build();
    ASSERT_EQ(wave->bar_count(), 10);
    // Twenty peaks: two per bar, the bar takes the louder.
    std::vector<uint8_t> peaks(20, 0);
    peaks[3] = 255; // bar 1, full height
    peaks[8] = 128; // bar 4, half
    peaks[12] = 255; // bar 6, full, but only 0.6 is known
    wave->set_peaks(peaks, 0.6);
    wave->set_played(0.3);
    EXPECT_EQ(wave->bar_peaks(), (std::vector<uint8_t> { 0, 255, 0, 0, 128, 0, 0, 0, 0, 0 }));
    paint();
    int32_t const s = scale(), h = 20 * s, mid = h / 2;
    int32_t const bar1 = 3 * s, bar4 = 12 * s, bar6 = 18 * s;
    // Bar 1 is played and spans the height; at 192 dpi its corners are round.
    // The loudest bar keeps two design pixels from each edge.
    EXPECT_EQ(at(bar1 + s, 2 * s - 1), BACK);
    EXPECT_EQ(at(bar1 + s, 2 * s), PLAYED);
    EXPECT_EQ(at(bar1 + s, h - 1 - 2 * s), PLAYED);
    EXPECT_EQ(at(bar1 + s, h - 2 * s), BACK);
    EXPECT_EQ(at(bar1, 2 * s), s == 2 ? BACK : PLAYED);
    // Its gap holds only the centre line, one physical row thick at any dpi.
    EXPECT_EQ(at(bar1 + 2 * s, mid), CENTRE);
    EXPECT_EQ(at(bar1 + 2 * s, mid - 1), BACK);
    EXPECT_EQ(at(bar1 + 2 * s, mid + 1), BACK);
    // Bar 4 is not played: half the height about the centre.
    EXPECT_EQ(at(bar4, mid - 3 * s), WAVE);
    EXPECT_EQ(at(bar4, mid - 5 * s - 1), BACK);
    // Bar 6 lies past what is known: nothing but the line.
    EXPECT_EQ(at(bar6, 1 * s), BACK);
    EXPECT_EQ(at(bar6, mid), CENTRE);
    // Everything known, played to the end: bar 6 drawn, every bar played.
    wave->set_peaks(peaks, 1);
    wave->set_played(1);
    paint();
    EXPECT_EQ(at(bar6 + s, 3 * s), PLAYED);
    EXPECT_EQ(at(bar4, mid), PLAYED);
    // A quiet recording is raised: its loudest bar spans the height as a full-scale one does, but hiss is
    // raised at most eight times (a sixteenth of full scale reaches half the height).
    for (uint8_t const quiet : { 64, 16 }) {
        wave->set_peaks(std::vector<uint8_t>(20, quiet), 1);
        paint();
        EXPECT_EQ(std::to_string(at(bar1 + s, 2 * s)) + " " + std::to_string(at(bar4, mid - 3 * s)) + " "
                + std::to_string(at(bar4, mid - 5 * s - 1)),
            std::to_string(quiet == 64 ? PLAYED : BACK) + " " + std::to_string(PLAYED) + " "
                + std::to_string(quiet == 64 ? PLAYED : BACK))
            << int(quiet);
    }
}

// Levels scroll in at the right: the loud one moves a bar to the left with each new level.
TEST_P(Waveform, ScrollsLevelsInAtTheRight)
{
    build();
    wave->push_level(1.0);
    EXPECT_EQ(wave->bar_peaks().back(), 255);
    wave->push_level(0.0);
    wave->push_level(0.5);
    std::vector<uint8_t> const bars = wave->bar_peaks();
    EXPECT_EQ(std::vector<uint8_t>(bars.end() - 4, bars.end()), (std::vector<uint8_t> { 0, 255, 0, 128 }));
    paint();
    int32_t const s = scale();
    // The loud bar is third from the right, in the played colour: what is recorded counts as heard.
    EXPECT_EQ(at(21 * s + s, 3 * s), PLAYED);
    EXPECT_EQ(at(27 * s, 2 * s), BACK);
    // Levels out of range are held to it; peaks set afterwards replace the history.
    wave->push_level(7.0);
    wave->push_level(std::nan(""));
    std::vector<uint8_t> const held = wave->bar_peaks();
    EXPECT_EQ(std::vector<uint8_t>(held.end() - 2, held.end()), (std::vector<uint8_t> { 255, 0 }));
    wave->set_peaks({ 9 }, 1);
    EXPECT_FALSE(wave->scrolling());
    EXPECT_EQ(wave->bar_peaks(), std::vector<uint8_t>(10, 9));
}

INSTANTIATE_TEST_SUITE_P(Dpi, Waveform, testing::Values(96, 192));

// A waveform takes the pen only with a seek listener; then a press and a drag report their points.
TEST(WaveformInput, PressAndDragReportToTheSeekListenerOnly)
{
    SkinFixture skin { "waveform.skin" };
    auto root = skin.build(u"Defaults", 100, 20);
    auto* wave = find<WaveformElement>(*root, u"waveform");
    ASSERT_NE(wave, nullptr);
    EXPECT_FALSE(wave->hit_test({ 50, 10 }));
    // The defaults: bars of 2 with gaps of 1.
    EXPECT_EQ(wave->bar_step(), 3);
    Recorder recorder;
    wave->set_seek_listener(&recorder);
    EXPECT_TRUE(wave->hit_test({ 50, 10 }));
    wave->on_pen(pen(40, 10, true));
    wave->on_pen_move({ 60, 12 });
    wave->on_pen(pen(60, 12, false));
    wave->on_pen_move({ 70, 12 });
    EXPECT_EQ(recorder.kinds(), "dpdp");
    EXPECT_EQ(recorder.reports[0].point, (Point { 40, 10 }));
    EXPECT_EQ(recorder.reports[2].point, (Point { 60, 12 }));
    EXPECT_EQ(recorder.reports[2].movement, (Point { 20, 2 }));
    EXPECT_FALSE(wave->pressed());
}

} // namespace
