// The waveform of a one-hour MP3 (64 kbit/s mono, 44.1 kHz, as the program records): how long until the
// playback screen has all of it, against the 1.5-s target, for a first opening (the peaks decoded on the
// worker thread) and a later one (read from the cache). A plain program printing its figures; the MP3 is
// made here with LAME, one minute of speech-like sound repeated for the hour.
#include "PrivateHome.h"

#include <chrono>
#include <cmath>
#include <core/Strings.h>
#include <cstdio>
#include <document/WaveformPeaks.h>
#include <filesystem>
#include <fstream>
#include <lame/lame.h>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr double TARGET = 1.5;

// One minute of syllables: bursts of a few hundred milliseconds of a gliding tone at changing loudness,
// with pauses between, coded at 64 kbit/s without a summary frame (so that the minute can be repeated).
std::string minute_of_mp3()
{
    std::vector<int16_t> samples(RATE * 60);
    double phase = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        double const t = double(i) / RATE;
        double const syllable = std::fmod(t, 0.45);
        double const loud
            = syllable < 0.3 ? std::sin(M_PI * syllable / 0.3) * (0.2 + 0.6 * std::fabs(std::sin(t * 0.7))) : 0;
        phase += 2 * M_PI * (180 + 60 * std::sin(t * 3)) / RATE;
        samples[i] = static_cast<int16_t>(32767 * loud * std::sin(phase));
    }
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, RATE);
    lame_set_num_channels(lame, 1);
    lame_set_brate(lame, 64);
    lame_set_bWriteVbrTag(lame, 0);
    lame_init_params(lame);
    std::string out(samples.size() + 16384, '\0');
    int n = lame_encode_buffer(lame, samples.data(), samples.data(), static_cast<int>(samples.size()),
        reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(out.size()));
    int const tail = lame_encode_flush(lame, reinterpret_cast<unsigned char*>(out.data() + n), 16384);
    lame_close(lame);
    out.resize(static_cast<size_t>(n + tail));
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Opens the file as the playback screen does and polls, a few times a frame, until the whole waveform is
// known.
double open_until_whole(core::String const& path)
{
    auto const start = std::chrono::steady_clock::now();
    document::WaveformPeaks peaks;
    peaks.open(path);
    std::vector<uint8_t> got;
    double known = 0;
    for (;;) {
        bool const running = peaks.scanning();
        peaks.poll(got, known);
        if (known >= 1)
            return seconds_since(start);
        if (!running) {
            std::printf("the scan ended without the whole waveform\n");
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

int main()
{
    std::string const home = bench::use_private_home();
    std::string const minute = minute_of_mp3();
    std::string const hour_path = home + "/hour.mp3";
    {
        std::ofstream hour(hour_path, std::ios::binary);
        for (int i = 0; i < 60; ++i)
            hour << minute;
    }
    double const first = open_until_whole(core::from_utf8(hour_path));
    double const cached = open_until_whole(core::from_utf8(hour_path));
    std::printf("one-hour MP3 (%.1f MB), 64 kbit/s mono 44.1 kHz\n", 60.0 * minute.size() / 1e6);
    std::printf("first opening, whole waveform: %.3f s (%.2f of the %.1f-s target)\n", first, first / TARGET, TARGET);
    std::printf("later opening, from the cache: %.4f s (%.3f of the target)\n", cached, cached / TARGET);
    std::filesystem::remove_all(home);
    return first >= 0 && first <= TARGET ? 0 : 1;
}
