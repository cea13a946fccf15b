#include "AudioTestSupport.h"

#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>
#include <platform/riff.h>

using namespace audio;
using audio_test::buffer16;

namespace {

TEST(LevelMeter, SilenceCountsFromTheLastLoudFrame)
{
    LevelMeter meter;
    EXPECT_EQ(std::pair(meter.silence(), meter.is_silent()), std::pair(2.0, false)) << "2 s is not over the maximum";
    for (int i = 0; i < 30; ++i) // a threshold of zero is never silent
        meter.on_data(buffer16(std::vector<int16_t>(1600, 0), 8000));
    EXPECT_EQ(std::pair(meter.silence(), meter.is_silent()), std::pair(0.0, false));
    meter.set_threshold(0.5);

    std::vector<int16_t> samples(8000, 100);
    samples[3999] = -16384; // exactly the threshold, in the negative half
    samples[100] = 20000;
    meter.on_data(buffer16(samples, 8000));
    EXPECT_DOUBLE_EQ(meter.silence(), 0.5);
    EXPECT_DOUBLE_EQ(meter.level(), 20000 / 32768.0);

    meter.on_data(buffer16(std::vector<int16_t>(1600, 16383), 8000));
    EXPECT_DOUBLE_EQ(meter.silence(), 0.7);
    EXPECT_FALSE(meter.is_silent());
    for (int i = 0; i < 7; ++i)
        meter.on_data(buffer16(std::vector<int16_t>(1600, 0), 8000));
    EXPECT_NEAR(meter.silence(), 2.1, 1e-9);
    EXPECT_TRUE(meter.is_silent() && meter.level() == 0.0);

    meter.on_data(AudioBuffer(core::SharedBuffer(), AudioFormat { 1, 16, 8000 }));
    EXPECT_NEAR(meter.silence(), 2.1, 1e-9); // an empty buffer changes nothing
    EXPECT_EQ(meter.level(), 0.0);
}

// Stereo: a loud right channel does not count.
TEST(LevelMeter, StereoMeasuresTheFirstChannel)
{
    LevelMeter meter;
    meter.set_threshold(0.5);
    std::vector<int16_t> frames(2 * 1000, 0);
    frames[2 * 10] = 30000; // left, frame 10
    frames[2 * 900 + 1] = 30000; // right, frame 900
    meter.on_data(buffer16(frames, 1000, 2));
    EXPECT_DOUBLE_EQ(meter.silence(), 0.989);
    EXPECT_DOUBLE_EQ(meter.level(), 30000 / 32768.0);
}

TEST(DurationCounter, SumsTheSecondsThatPass)
{
    DurationCounter counter;
    counter.on_data(buffer16(std::vector<int16_t>(1600), 8000));
    counter.on_data(AudioBuffer(core::SharedBuffer(44100 * 4), AudioFormat { 2, 16, 44100 }));
    counter.on_data(AudioBuffer(core::SharedBuffer(10), AudioFormat {})); // no rate: not counted
    EXPECT_DOUBLE_EQ(counter.duration(), 1.2);
}

// bits, frames, and where the one loud sample (full-scale negative) lies: first, inside the whole runs of the
// fast pass, on a run's edge, in the frames left after the last run, and last.
class LevelMeterPeak : public testing::TestWithParam<std::tuple<int32_t, size_t, size_t>> { };

TEST_P(LevelMeterPeak, IsFoundWhereverTheLoudSampleLies)
{
    auto const [bits, frames, at] = GetParam();
    AudioBuffer buffer(core::SharedBuffer(frames * size_t(bits / 8)), AudioFormat { 1, bits, 1000 });
    uint8_t* p = buffer.data.writable();
    for (size_t i = 0; i < frames; ++i) {
        int const quiet = i % 3 == 0 ? 5 : -5; // noise either side of silence, below the threshold
        if (bits == 8)
            p[i] = uint8_t(128 + (i == at ? -128 : quiet));
        else
            platform::riff::put_s16(p + 2 * i, int16_t(i == at ? -32768 : quiet * 256));
    }
    LevelMeter meter;
    meter.set_threshold(0.5);
    meter.on_data(buffer);
    EXPECT_EQ(meter.level(), 1.0);
    EXPECT_DOUBLE_EQ(meter.silence(), double(frames - at - 1) / 1000);
}

INSTANTIATE_TEST_SUITE_P(Places, LevelMeterPeak,
    testing::Values(std::tuple(16, 100u, 0u), std::tuple(16, 100u, 31u), std::tuple(16, 100u, 32u),
        std::tuple(16, 100u, 95u), std::tuple(16, 100u, 99u), std::tuple(16, 7u, 3u), std::tuple(8, 100u, 0u),
        std::tuple(8, 100u, 63u), std::tuple(8, 100u, 97u), std::tuple(8, 33u, 32u)));

} // namespace
