#include "AudioTestSupport.h"

#include <audio/formats/FileWriterMP3.h>
#include <audio/formats/Mp3Encoder.h>
#include <audio/readers/PeakScan.h>
#include <cmath>

using namespace audio_test;

namespace {

struct Scan {
    bool ok = false;
    std::vector<uint8_t> peaks;
    std::vector<int32_t> known; // as told, in order
};

Scan scan(std::string const& path)
{
    Scan s;
    auto sink = [&](std::vector<uint8_t> const& peaks, int32_t known) {
        s.peaks = peaks;
        s.known.push_back(known);
        return true;
    };
    s.ok = audio::scan_peaks(core::from_utf8(path), sink);
    return s;
}

// The first bucket at or above `level`, or -1.
int first_at(std::vector<uint8_t> const& peaks, int level)
{
    auto const it = std::find_if(peaks.begin(), peaks.end(), [&](uint8_t p) { return p >= level; });
    return it == peaks.end() ? -1 : static_cast<int>(it - peaks.begin());
}

// Two seconds of silence, then two of a tone whose peak is half of full scale: the peaks are silent up
// to the middle bucket and the tone's from it on, and progress only grows.
TEST(PeakScan, SilenceThenAToneInAWave)
{
    std::string const path = testing_support::fresh_dir("peaks") + "/tone.wav";
    std::vector<int16_t> samples = testing_support::tone(2, 8000, 0);
    std::vector<int16_t> const loud = testing_support::tone(2, 8000, 16384);
    samples.insert(samples.end(), loud.begin(), loud.end());
    testing_support::write_file(path, testing_support::wav16(8000, samples));
    Scan const s = scan(path);
    ASSERT_TRUE(s.ok);
    ASSERT_EQ(s.peaks.size(), size_t(audio::PEAK_COUNT));
    EXPECT_EQ(first_at(s.peaks, 1), audio::PEAK_COUNT / 2);
    EXPECT_NEAR(s.peaks[audio::PEAK_COUNT / 2 + 10], 128, 2);
    EXPECT_NEAR(s.peaks.back(), 128, 2);
    EXPECT_TRUE(std::is_sorted(s.known.begin(), s.known.end()));
    // A file no reader takes gives no peaks.
    testing_support::write_file(path, "not audio at all");
    EXPECT_FALSE(scan(path).ok);
}

// An MP3 of the same sound draws the same picture: silence stays silent, each tone starts where it starts
// (within the coder's delay) and stands at its level within a few decibels.
TEST(PeakScan, AnMp3DrawsItsTonesAtTheirPlacesAndLevels)
{
    std::string const path = testing_support::fresh_dir("peaks") + "/tones.mp3";
    constexpr int RATE = 44100;
    std::vector<int16_t> samples = testing_support::tone(1, RATE, 0);
    for (int amplitude : { 1000, 4000, 16000, 0, 30000 }) {
        auto const t = testing_support::tone(1, RATE, amplitude);
        samples.insert(samples.end(), t.begin(), t.end());
    }
    {
        audio::FileWriterMP3 writer(core::from_utf8(path), false);
        audio::Mp3Encoder encoder(64000);
        connect(encoder, &writer);
        for (size_t at = 0; at < samples.size(); at += RATE / 5)
            encoder.on_data(buffer16(
                std::vector<int16_t>(samples.begin() + at, samples.begin() + std::min(samples.size(), at + RATE / 5)),
                RATE));
    }
    Scan const s = scan(path);
    ASSERT_TRUE(s.ok);
    int const second = audio::PEAK_COUNT / 6;
    // LAME and libmad delay the sound by about 40 ms (13 buckets of 3 ms), which the waveform keeps.
    EXPECT_NEAR(first_at(s.peaks, 3), second, 15);
    int const amplitudes[] = { 0, 1000, 4000, 16000, 0, 30000 };
    for (int part = 0; part < 6; ++part) {
        double const got = s.peaks[static_cast<size_t>(part * second + second / 2)];
        double const want = amplitudes[part] * 255.0 / 32768;
        if (want == 0)
            EXPECT_LT(got, 3) << part;
        else
            EXPECT_NEAR(20 * std::log10(std::max(got, 1.0) / want), 0.0, 3) << part << ": " << got << " " << want;
    }
}

} // namespace
