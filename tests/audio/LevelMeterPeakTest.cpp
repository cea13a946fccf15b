#include "AudioTestSupport.h"

#include <audio/filters/LevelMeter.h>
#include <platform/riff.h>

using namespace audio;

namespace {

struct Loud {
    int32_t bits;
    size_t frames;
    size_t at; // the one loud sample, a full-scale negative one
};

class LevelMeterPeak : public testing::TestWithParam<Loud> { };

// The peak and the last loud frame wherever the loud sample lies: first, inside the whole runs of the
// fast pass, on a run's edge, in the frames left after the last run, and last.
TEST_P(LevelMeterPeak, IsFoundWhereverTheLoudSampleLies)
{
    Loud const c = GetParam();
    size_t const width = size_t(c.bits / 8);
    AudioBuffer buffer(core::SharedBuffer(c.frames * width), AudioFormat { 1, c.bits, 1000 });
    uint8_t* p = buffer.data.writable();
    for (size_t i = 0; i < c.frames; ++i) {
        // Quiet noise either side of silence, below the threshold.
        int const quiet = i % 3 == 0 ? 5 : -5;
        if (c.bits == 8)
            p[i] = uint8_t(128 + (i == c.at ? -128 : quiet));
        else
            platform::riff::put_s16(p + 2 * i, int16_t(i == c.at ? -32768 : quiet * 256));
    }
    LevelMeter meter;
    meter.set_threshold(0.5);
    meter.on_data(buffer);
    EXPECT_DOUBLE_EQ(meter.level(), 1.0);
    EXPECT_DOUBLE_EQ(meter.silence(), double(c.frames - c.at - 1) / 1000);
}

INSTANTIATE_TEST_SUITE_P(Places, LevelMeterPeak,
    testing::Values(Loud { 16, 100, 0 }, Loud { 16, 100, 31 }, Loud { 16, 100, 32 }, Loud { 16, 100, 95 },
        Loud { 16, 100, 99 }, Loud { 16, 7, 3 }, Loud { 8, 100, 0 }, Loud { 8, 100, 63 }, Loud { 8, 100, 97 },
        Loud { 8, 33, 32 }));

} // namespace
