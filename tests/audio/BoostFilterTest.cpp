#include "AudioTestSupport.h"

#include <array>
#include <audio/filters/BoostFilter.h>
#include <cmath>
#include <random>

using namespace audio;
using audio_test::buffer16;
using audio_test::Collector;

namespace {

constexpr int32_t RATE = 8000;

// A sine of 100 Hz at 8000 Hz whose every half-wave peaks at exactly `peak`.
std::vector<int16_t> sine(int32_t peak, size_t count)
{
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = static_cast<int16_t>(std::lround(peak * std::sin(2 * M_PI * double(i % 80) / 80.0)));
    return s;
}

// Runs `input` through a boost filter in pieces of the given sizes (repeated) and answers the output.
std::vector<int16_t> boost(
    BoostFilter& filter, std::vector<int16_t> const& input, std::vector<size_t> pieces, int32_t rate = RATE)
{
    Collector sink;
    connect(filter, &sink);
    size_t at = 0;
    for (size_t k = 0; at < input.size(); ++k) {
        size_t const n = std::min(pieces[k % pieces.size()], input.size() - at);
        filter.on_data(buffer16(std::vector<int16_t>(input.begin() + at, input.begin() + at + n), rate));
        at += n;
    }
    connect(filter, nullptr);
    return sink.samples();
}

TEST(BoostFilter, CurvePointsForEachLevel)
{
    BoostFilter filter;
    // Each level and the points of its curve. Level 100 is steep: its middle point is clipped at 30000 and
    // the upper one joins it there.
    for (auto [level, x1, y1, x2] : { std::array { 2, 2000, 2000, 16000 }, std::array { 4, 2000, 3250, 8687 },
             std::array { 8, 2000, 5750, 5031 }, std::array { 100, 1335, 30000, 1335 } }) {
        filter.set_level(level);
        auto const curve = filter.curve();
        EXPECT_EQ(
            (std::array { curve.x0, curve.y0, curve.x1, curve.y1, curve.x2 }), (std::array { 750, 750, x1, y1, x2 }))
            << "level " << level;
        // The curve passes through its points and never raises amplitudes under 750.
        EXPECT_EQ((std::array { filter.map(x1), filter.map(x2), filter.map(32768) }),
            (std::array<int64_t, 3> { int64_t(y1) << 14, int64_t(30000) << 14, int64_t(32768) << 14 }));
        for (int32_t a : { 0, 1, 400, 749, 750 })
            EXPECT_EQ(filter.map(a), int64_t(a) << 14) << "level " << level << " amplitude " << a;
    }
    filter.set_level(0); // no division by zero: counts as off
    EXPECT_EQ(filter.level(), 1);
}

TEST(BoostFilter, LevelOneAndOtherFormatsPassUnchanged)
{
    BoostFilter filter;
    Collector sink;
    connect(filter, &sink);
    AudioBuffer const mono = buffer16(sine(9000, 800), RATE);
    filter.on_data(mono);
    filter.set_level(4);
    AudioBuffer stereo = mono;
    stereo.format.channels = 2;
    AudioBuffer eight(core::SharedBuffer(800), AudioFormat { 1, 8, RATE });
    eight.data.fill(200);
    filter.on_data(stereo);
    filter.on_data(eight);
    auto const out = sink.buffers();
    ASSERT_EQ(out.size(), 3u);
    // The very same bytes, not a copy.
    EXPECT_EQ((std::array { out[0].data.data(), out[1].data.data(), out[2].data.data() }),
        (std::array { mono.data.data(), stereo.data.data(), eight.data.data() }));
    EXPECT_EQ(out[1].format, stereo.format);
}

// The boost by its definition, slowly: half-waves (cut after one window at the latest), their peaks,
// anchors where no sample within a window either side is larger (or after a second without one), and
// gains moving linearly between anchors.
std::vector<int16_t> reference_boost(std::vector<int16_t> const& s, int32_t level, int32_t rate = RATE)
{
    BoostFilter curve;
    curve.set_level(level);
    auto gain = [&](int32_t peak) { return peak == 0 ? 16384.0 : double(curve.map(peak) / peak); };
    size_t const window = size_t(rate) / 10, n = s.size();
    std::vector<size_t> anchors;
    size_t position = 0, last = 0;
    while (n - position > window) {
        size_t end = position, peak = position;
        bool ended = false;
        for (; end + 1 < n; ++end) {
            if (std::abs(s[end]) > std::abs(s[peak]))
                peak = end;
            if (end == position + window - 1 || s[end] * s[end + 1] <= 0) {
                ended = true;
                break;
            }
        }
        if (!ended || peak + window >= n)
            break;
        int largest = 0;
        for (size_t i = peak >= window ? peak - window : 0; i <= peak + window; ++i)
            largest = std::max(largest, std::abs(int(s[i])));
        if (largest <= std::abs(s[peak]) || peak - last > size_t(rate)) {
            anchors.push_back(peak);
            last = peak;
        }
        position = end + 1;
    }
    std::vector<int16_t> out;
    for (size_t k = 0; k < anchors.size(); ++k) {
        size_t const from = k == 0 ? 0 : anchors[k - 1], to = anchors[k];
        double const g1 = gain(std::abs(s[to])), g0 = k == 0 ? g1 : gain(std::abs(s[from]));
        for (size_t i = from; i < to; ++i) {
            double const g = g0 + (g1 - g0) * double(i - from) / double(to - from);
            out.push_back(static_cast<int16_t>(std::clamp(std::lround(s[i] * g / 16384), -32768L, 32767L)));
        }
    }
    return out;
}

// Random half-waves of every length and height, spikes, runs of zeros and swells, at a low rate so that
// the windows are short and the slow definition is quick.
TEST(BoostFilter, MatchesItsDefinitionOnRandomHalfWaves)
{
    std::mt19937 random(2024);
    for (int trial = 0; trial < 150; ++trial) {
        std::vector<int16_t> input;
        int sign = 1;
        while (input.size() < 3000) {
            int const kind = std::uniform_int_distribution<int>(0, 9)(random);
            if (kind == 0) {
                input.insert(input.end(), std::uniform_int_distribution<size_t>(1, 40)(random), 0);
                continue;
            }
            size_t const length = kind == 1 ? std::uniform_int_distribution<size_t>(90, 250)(random)
                                            : std::uniform_int_distribution<size_t>(1, 12)(random);
            int const height = kind == 2 ? 32767 : std::uniform_int_distribution<int>(1, 20000)(random);
            size_t const top = std::uniform_int_distribution<size_t>(0, length - 1)(random);
            for (size_t i = 0; i < length; ++i) {
                double const shape
                    = i <= top ? double(i + 1) / double(top + 1) : double(length - i) / double(length - top);
                input.push_back(static_cast<int16_t>(sign * std::max(1.0, height * shape)));
            }
            sign = -sign;
        }
        if (trial % 4 == 0) {
            // A tone that grows for 1.5 s: no peak is the largest near it, so anchors must be forced.
            for (int i = 0; i < 1500; ++i)
                input.push_back(static_cast<int16_t>(std::lround(i * 10 * std::sin(2 * M_PI * i / 7.0))));
        }
        int32_t const level = 2 << (trial % 3);
        BoostFilter filter;
        filter.set_level(level);
        std::vector<int16_t> const got = boost(filter, input, { 37, 1, 250, 99, 3 }, 1000);
        std::vector<int16_t> const want = reference_boost(input, level, 1000);
        ASSERT_EQ(got.size(), want.size()) << "trial " << trial;
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_NEAR(got[i], want[i], 1) << "trial " << trial << " sample " << i;
    }
}

TEST(BoostFilter, ResetAndLevelChangesLoseNoSamples)
{
    BoostFilter filter;
    filter.set_level(2);
    std::vector<int16_t> const first = sine(9000, 4000);
    Collector sink;
    connect(filter, &sink);
    filter.on_data(buffer16(first, RATE));
    size_t const boosted = sink.samples().size();
    ASSERT_LT(boosted, first.size()) << "the tail after the last anchor waits";
    // Switched off with samples waiting: they come out before the new buffer.
    filter.set_level(1);
    filter.on_data(buffer16(std::vector<int16_t>(100, 5), RATE));
    EXPECT_EQ(sink.samples().size(), first.size() + 100);

    // After a reset nothing of the previous recording comes out.
    filter.set_level(2);
    filter.on_data(buffer16(first, RATE));
    filter.reset();
    size_t const before = sink.samples().size();
    std::vector<int16_t> const second = sine(1000, 4000);
    filter.on_data(buffer16(second, RATE));
    std::vector<int16_t> const all = sink.samples();
    std::vector<int16_t> const after(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_FALSE(after.empty());
    EXPECT_TRUE(std::equal(after.begin(), after.end(), second.begin()));
}

TEST(BoostFilter, DrainHandsOnTheTailAtTheLastGain)
{
    BoostFilter filter;
    filter.set_level(2);
    Collector sink;
    connect(filter, &sink);
    // The tail is boosted like the rest, not passed through unchanged or lost.
    std::vector<int16_t> const input = sine(5000, 4000);
    filter.on_data(buffer16(input, RATE));
    size_t const boosted = sink.samples().size();
    ASSERT_LT(boosted, input.size());
    filter.drain();
    std::vector<int16_t> const all = sink.samples();
    ASSERT_EQ(all.size(), input.size());
    int32_t peaks[2] = {}; // of the boosted body and of the drained tail
    for (size_t i = 0; i < all.size(); ++i)
        peaks[i >= boosted] = std::max<int32_t>(peaks[i >= boosted], std::abs(all[i]));
    EXPECT_GT(peaks[0], 5500);
    EXPECT_NEAR(peaks[1], peaks[0], 2);
    filter.drain(); // nothing left: nothing more
    EXPECT_EQ(sink.samples().size(), input.size());

    // A tail with no anchor yet (shorter than the window) takes the gain of its own peak.
    filter.on_data(buffer16(sine(1000, 100), RATE));
    filter.drain();
    EXPECT_EQ(sink.samples().size(), input.size() + 100);
    connect(filter, nullptr);
}

} // namespace
