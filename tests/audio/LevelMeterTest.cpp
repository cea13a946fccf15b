#include "AudioTestSupport.h"

#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>

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

TEST(LevelMeter, EightBitAndStereoMeasureTheFirstChannel)
{
    LevelMeter meter;
    meter.set_threshold(0.5);
    // 8-bit: 64 away from 128 reaches a threshold of 0.5.
    AudioBuffer eight(core::SharedBuffer(1000), AudioFormat { 1, 8, 1000 });
    eight.data.fill(128);
    eight.data.writable()[499] = 64;
    meter.on_data(eight);
    EXPECT_DOUBLE_EQ(meter.silence(), 0.5);
    EXPECT_DOUBLE_EQ(meter.level(), 0.5);

    // Stereo 16-bit: a loud right channel does not count.
    std::vector<int16_t> frames(2 * 1000, 0);
    frames[2 * 10] = 30000; // left, frame 10
    frames[2 * 900 + 1] = 30000; // right, frame 900
    meter.on_data(buffer16(frames, 1000, 2));
    EXPECT_DOUBLE_EQ(meter.silence(), 0.989);
    EXPECT_DOUBLE_EQ(meter.level(), 30000 / 32768.0);
}

TEST(DurationCounter, SumsTheSecondsThatPassAndResets)
{
    DurationCounter counter;
    counter.on_data(buffer16(std::vector<int16_t>(1600), 8000));
    counter.on_data(AudioBuffer(core::SharedBuffer(44100 * 4), AudioFormat { 2, 16, 44100 }));
    counter.on_data(AudioBuffer(core::SharedBuffer(10), AudioFormat {})); // no rate: not counted
    EXPECT_DOUBLE_EQ(counter.duration(), 1.2);
    counter.reset();
    EXPECT_EQ(counter.duration(), 0.0);
}

} // namespace
