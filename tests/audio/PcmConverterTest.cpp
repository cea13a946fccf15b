#include "AudioTestSupport.h"

#include <audio/readers/PcmConverter.h>
#include <cmath>
#include <cstring>

using namespace audio;
using audio_test::le;

namespace {

// One frame in, pushed through the converter: the 16-bit samples that come out.
std::vector<int16_t> convert_frame(platform::riff::Format const& f, std::string const& frame)
{
    PcmConverter converter(f);
    audio_test::Collector out;
    connect(converter, &out);
    converter.on_data(AudioBuffer(core::SharedBuffer(frame.size(), frame.data()), { f.channels, f.bits, 8000 }));
    connect(converter, nullptr);
    return out.samples();
}

platform::riff::Format format(uint16_t coding, uint16_t channels, uint16_t bits, uint32_t mask = 0)
{
    return { .tag = coding,
        .coding = coding,
        .channels = channels,
        .rate = 8000,
        .block_align = static_cast<uint16_t>(channels * bits / 8),
        .bits = bits,
        .channel_mask = mask };
}

std::string f32(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return le(bits, 4);
}

struct Conversion {
    char const* name;
    platform::riff::Format format;
    std::string frame;
    std::vector<int16_t> expected;
};

TEST(PcmConverter, SamplesRoundToSixteenBitsAndChannelsMixByTheirSpeakers)
{
    double const nan = std::nan("");
    Conversion const cases[] = {
        { "24-bit rounds, full scale clamps", format(1, 2, 24), le(0x123480, 3) + le(0x7FFFFF, 3), { 0x1235, 32767 } },
        { "24-bit negative", format(1, 1, 24), le(0x800000, 3), { -32768 } },
        { "32-bit", format(1, 2, 32), le(0xFFFF7FFF, 4) + le(0x80000000, 4), { -1, -32768 } },
        { "float clips and NaN is silence", format(3, 2, 32), f32(1.5f) + f32(float(nan)), { 32767, 0 } },
        { "float -1 and half", format(3, 2, 32), f32(-1.0f) + f32(0.5f), { -32768, 16384 } },
        // Quad (front and back pairs): each side is the mean of its two.
        { "quad", format(1, 4, 16, 0x33), le(1000, 2) + le(2000, 2) + le(3000, 2) + le(0xFFFF & -2000, 2),
            { 2000, 0 } },
        // No mask: front left, front right, centre: the centre goes to both at half weight.
        { "three channels", format(1, 3, 16), le(300, 2) + le(600, 2) + le(900, 2), { 500, 700 } },
    };
    for (auto const& c : cases)
        EXPECT_EQ(convert_frame(c.format, c.frame), c.expected) << c.name;
}

} // namespace
