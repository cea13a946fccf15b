#include "AudioTestSupport.h"

#include <audio/filters/LevelMeter.h>
#include <platform/riff.h>

namespace {

// bits, frames, and where the one loud sample (full-scale negative) lies: first, inside the whole runs of the
// fast pass, on a run's edge, in the frames left after the last run, and last.
class LevelMeterPeak : public testing::TestWithParam<std::tuple<int32_t, size_t, size_t>> { };

TEST_P(LevelMeterPeak, IsFoundWhereverTheLoudSampleLies)
{
    auto const [bits, frames, at] = GetParam();
    audio::AudioBuffer buffer(core::SharedBuffer(frames * size_t(bits / 8)), audio::AudioFormat { 1, bits, 1000 });
    uint8_t* p = buffer.data.writable();
    for (size_t i = 0; i < frames; ++i) {
        int const quiet = i % 3 == 0 ? 5 : -5; // noise either side of silence, below the threshold
        if (bits == 8)
            p[i] = uint8_t(128 + (i == at ? -128 : quiet));
        else
            platform::riff::put_s16(p + 2 * i, int16_t(i == at ? -32768 : quiet * 256));
    }
    audio::LevelMeter meter;
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
