// The capture side of a recording: how much faster than real time the chain behind the microphone runs
// (boost at level 2, level meter, pause gate, duration counter, hand-off to ActiveBuffer), and how long
// ActiveBuffer::on_data keeps the capture thread per 200 ms block.
#include <algorithm>
#include <audio/ActiveBuffer.h>
#include <audio/filters/BoostFilter.h>
#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <core/Thread.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <os/LogFile.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t RATE = 44100;
constexpr int SECONDS = 600;
constexpr int BLOCK_FRAMES = RATE / 5; // 200 ms, as the recorder delivers

// Ten minutes of speech-like mono: a voiced tone whose pitch wanders, in syllables of about 0.25 s with
// pauses between phrases, over a little noise.
std::vector<audio::AudioBuffer> const& speech()
{
    static std::vector<audio::AudioBuffer> const blocks = [] {
        std::mt19937 random(12345);
        std::normal_distribution<double> noise(0.0, 60.0);
        std::vector<audio::AudioBuffer> out;
        double phase = 0;
        for (int b = 0; b < SECONDS * 5; ++b) {
            core::SharedBuffer bytes(BLOCK_FRAMES * 2);
            uint8_t* p = bytes.writable();
            for (int i = 0; i < BLOCK_FRAMES; ++i) {
                double const t = double(b * BLOCK_FRAMES + i) / RATE;
                double const pitch = 120 + 40 * std::sin(2 * M_PI * 0.3 * t);
                phase += 2 * M_PI * pitch / RATE;
                double const syllable = std::max(0.0, std::sin(2 * M_PI * 2.0 * t));
                double const phrase = std::fmod(t, 6.0) < 4.5 ? 1.0 : 0.0;
                double const voice = std::sin(phase) + 0.5 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
                double const v = 9000 * syllable * phrase * voice + noise(random);
                auto const s = static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
                p[2 * i] = static_cast<uint8_t>(s & 0xFF);
                p[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF);
            }
            out.emplace_back(std::move(bytes), audio::AudioFormat { 1, 16, RATE });
        }
        return out;
    }();
    return blocks;
}

class Capture final : public audio::AudioProducer { };
class NullWriter final : public audio::AudioConsumer { };

double chain_ratio = 0;
double on_data_median_us = 0;

void BM_CaptureChainTenMinutes(benchmark::State& state)
{
    auto const& blocks = speech();
    Capture capture;
    audio::BoostFilter boost;
    audio::LevelMeter meter;
    audio::DurationCounter duration;
    audio::ActiveBuffer buffer;
    NullWriter writer;
    boost.set_level(2);
    meter.set_threshold(0.05);
    connect(capture, &boost);
    connect(boost, &meter);
    connect(meter, &duration); // the pause gate, open
    connect(duration, &buffer);
    connect(buffer, &writer);

    double seconds = 0;
    for (auto _ : state) {
        auto const start = std::chrono::steady_clock::now();
        for (auto const& block : blocks)
            audio::feed_consumer(capture, block);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        while (buffer.queued_count() != 0)
            core::sleep(0.001);
        if (!buffer.is_valid())
            state.SkipWithError("the memory buffer overflowed");
        boost.reset();
        state.ResumeTiming();
    }
    chain_ratio = SECONDS * double(state.iterations()) / seconds;
    state.counters["x_real_time"] = chain_ratio;
    state.counters["recorded_s"] = duration.duration() / double(state.iterations());
}
BENCHMARK(BM_CaptureChainTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ActiveBufferOnData(benchmark::State& state)
{
    audio::ActiveBuffer buffer;
    NullWriter writer;
    connect(buffer, &writer);
    audio::AudioBuffer const block(core::SharedBuffer(BLOCK_FRAMES * 2), audio::AudioFormat { 1, 16, RATE });
    std::vector<double> times;
    times.reserve(100000);
    for (auto _ : state) {
        auto const start = std::chrono::steady_clock::now();
        buffer.on_data(block);
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        // As in a recording, the writer keeps up: each block finds the queue drained.
        while (buffer.queued_count() != 0)
            std::this_thread::yield();
    }
    while (buffer.queued_count() != 0)
        core::sleep(0.001);
    if (!buffer.is_valid())
        state.SkipWithError("the memory buffer overflowed");
    std::nth_element(times.begin(), times.begin() + long(times.size() / 2), times.end());
    on_data_median_us = times[times.size() / 2];
    state.counters["median_us"] = on_data_median_us;
}
BENCHMARK(BM_ActiveBufferOnData)->Iterations(20000);

} // namespace

int main(int argc, char** argv)
{
    // A private registry, so that the figures do not depend on the user's settings (the log stays off).
    auto const home = std::filesystem::temp_directory_path() / ("ravelin-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("RAVELIN_REGISTRY", (home / "registry.db").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    os::install_log();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(home);
    if (chain_ratio > 0)
        std::printf("capture chain: %.0f x real time (target: at least 1000)\n", chain_ratio);
    if (on_data_median_us > 0)
        std::printf("ActiveBuffer::on_data: median %.2f us per 200 ms block (target: under 20)\n", on_data_median_us);
    return 0;
}
