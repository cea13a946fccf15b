#include "AudioTestSupport.h"

#include <atomic>
#include <audio/RecorderPCM.h>
#include <cmath>
#include <core/Thread.h>
#include <map>

using namespace audio;
using audio_test::Collector;
using audio_test::one_line_naming;
using audio_test::ramp;
using audio_test::stderr_of;
using platform::WaveHandle;
using testing_support::LogCapture;
using testing_support::wav16;

namespace {

using RecorderPCMTest = audio_test::DeviceTest;

// The microphone's samples as the device should deliver them: mono as the mean of the channels, the
// rate by linear interpolation (halves rounded away from zero), 8 bits as the upper byte.
std::vector<int16_t> convert(std::vector<int16_t> const& in, int in_channels, uint32_t in_rate, uint32_t out_rate)
{
    std::vector<double> mono;
    for (size_t i = 0; i + in_channels <= in.size(); i += in_channels) {
        double sum = 0;
        for (int c = 0; c < in_channels; ++c)
            sum += in[i + c];
        mono.push_back(std::lround(sum / in_channels));
    }
    uint64_t const n = mono.size();
    uint64_t const frames = (n * out_rate + in_rate - 1) / in_rate;
    std::vector<int16_t> out;
    for (uint64_t k = 0; k < frames; ++k) {
        uint64_t const index = k * in_rate / out_rate;
        uint64_t const fraction = k * in_rate % out_rate;
        double const a = mono[index], b = mono[std::min(index + 1, n - 1)];
        out.push_back(
            static_cast<int16_t>(std::lround((a * double(out_rate - fraction) + b * double(fraction)) / out_rate)));
    }
    return out;
}

// Starts `recorder`, waits until the file input has been taken in full, and answers what reached `sink`.
void record_to_end(RecorderPCM& recorder, Collector& sink)
{
    connect(recorder, &sink);
    ASSERT_TRUE(recorder.start());
    ASSERT_TRUE(platform::wave_input_wait_end(20000)) << "the input did not end";
    EXPECT_TRUE(recorder.is_running());
}

// Records the whole file input in the given format; the recorder is gone on return, and with it what
// it held.
void record_all(Collector& sink, int32_t channels, int32_t rate, int32_t bits)
{
    RecorderPCM recorder(channels, rate, bits);
    record_to_end(recorder, sink);
}

TEST_F(RecorderPCMTest, AFileMicrophoneIsConvertedToTheAskedFormat)
{
    LogCapture log;
    // Stereo at 16000 Hz into mono at 8000 Hz: 1.25 s, so the last block is a quarter full.
    std::vector<int16_t> const stereo = ramp(20000 * 2);
    use_wav_input(wav16(16000, stereo, 2));
    Collector sink;
    record_all(sink, 1, 8000, 16);
    EXPECT_EQ(sink.samples(), convert(stereo, 2, 16000, 8000));
    EXPECT_EQ(sink.buffers().back().length(), 800u);
    EXPECT_TRUE(log.contains_all({ "waveInOpen handle=", "MM_WIM_OPEN\n", "recorder good start\n",
        "recorder->feed_consumer buffer:0 size:3200\n", "recorder->feed_consumer buffer:6 size:800\n",
        "recorder ~RecorderPCMImpl " }));

    // 8-bit 11025 Hz up to 8-bit stereo at 22050 Hz.
    std::string bytes8;
    std::vector<int16_t> as16;
    for (int i = 0; i < 5000; ++i) {
        auto const v = static_cast<uint8_t>((i * 37) % 256);
        bytes8 += static_cast<char>(v);
        as16.push_back(static_cast<int16_t>((v - 128) * 256));
    }
    use_wav_input(audio_test::wav_bytes(1, 1, 11025, 8, bytes8));
    Collector up;
    EXPECT_EQ(std::pair(RecorderPCM(2, 22050, 8).block_size(), RecorderPCM(2, 22050, 8).bit_rate()),
        std::pair(8820, 2 * 22050 * 8));
    record_all(up, 2, 22050, 8);
    std::vector<uint8_t> want;
    for (int16_t v : convert(as16, 1, 11025, 22050))
        want.insert(want.end(), 2, static_cast<uint8_t>((v + 32768) >> 8));
    std::string const got = up.bytes();
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.end()), want);
}

// Says there is no room until opened, and counts the questions.
struct Room {
    core::Event open { core::EventReset::MANUAL };
    std::atomic<int> asked { 0 };
};

// A file input read as fast as it is taken never outruns the writer: the recorder takes a fast device's
// next blocks only when there is room; a live device never waits, and gives its samples in real time.
TEST_F(RecorderPCMTest, AFastInputWaitsForRoomALiveOneNeverAndNeitherLosesASample)
{
    for (bool const fast : { true, false }) {
        // Fast: a hundred blocks, ten times what the device holds; live: 0.3 s in real time.
        std::vector<int16_t> const samples = ramp(fast ? 8000 * 20 : 2400);
        use_wav_input(wav16(8000, samples), fast);
        Collector sink;
        Room room;
        uint32_t const started = platform::tick_count();
        {
            RecorderPCM recorder(1, 8000, 16);
            recorder.set_room_wait([&](uint32_t milliseconds) {
                ++room.asked;
                return room.open.wait_for(milliseconds);
            });
            connect(recorder, &sink);
            ASSERT_TRUE(recorder.start());
            if (fast) {
                ASSERT_TRUE(testing_support::wait_until([&] { return room.asked.load() >= 3; }));
                // Before the first question the device may have filled what it holds; nothing more came.
                EXPECT_LE(sink.buffers().size(), 10u);
                room.open.set();
            }
            ASSERT_TRUE(platform::wave_input_wait_end(20000)) << "the input did not end";
        }
        EXPECT_TRUE(fast || platform::tick_count() - started >= 250) << "0.3 s of input came sooner than real time";
        EXPECT_EQ(room.asked.load() > 0, fast);
        EXPECT_EQ(sink.samples(), samples) << (fast ? "fast" : "live");
    }
}

TEST_F(RecorderPCMTest, WithoutAMicrophoneTheOpenFailsAndStartAnswersFalse)
{
    LogCapture log;
    RecorderPCM recorder(1, 8000, 16);
    EXPECT_FALSE(recorder.start() || recorder.is_running() || recorder.pause());
    EXPECT_TRUE(log.contains_all({ "waveInOpen handle=0\n", "recorder bad open!!!!! waveInOpen=2\n" }));
}

// Stands in for the device around the platform's: counts starts and stops, answers an error for the calls
// named in `failing` without making them, and with `hold_open` keeps the open message from the worker.
class FakeWaveIn final : public WaveIn {
public:
    std::map<std::string, uint32_t> failing;
    std::atomic<int> starts { 0 }, stops { 0 };
    bool hold_open = false;
    uint32_t worker = 0;

    uint32_t open(
        WaveHandle& h, int id, platform::WaveFormat const& format, uint32_t thread, uintptr_t instance) override
    {
        worker = thread;
        return WaveIn::open(h, id, format, hold_open ? 0 : thread, instance);
    }
    uint32_t start(WaveHandle h) override
    {
        ++starts;
        return failing.contains("start") ? failing.at("start") : WaveIn::start(h);
    }
    uint32_t stop(WaveHandle h) override
    {
        ++stops;
        return failing.contains("stop") ? failing.at("stop") : WaveIn::stop(h);
    }
};

// A pause stops the device once; one before the worker has started the device holds it stopped.
TEST_F(RecorderPCMTest, PauseStopsTheDeviceOnceAndAnEarlyOneHoldsIt)
{
    use_wav_input(wav16(8000, ramp(8000)), false);
    LogCapture log;
    for (bool early : { false, true }) {
        FakeWaveIn device;
        device.hold_open = early;
        RecorderPCM recorder(1, 8000, 16, device);
        EXPECT_FALSE(recorder.is_stopped());
        ASSERT_TRUE(recorder.start() && recorder.pause());
        if (early) {
            // The worker takes the open and decides on a start under the lock that is_stopped waits for.
            platform::post_thread_message(device.worker, platform::MM_WIM_OPEN, 0, 0);
            ASSERT_TRUE(testing_support::wait_until([&] { return log.contains("MM_WIM_OPEN\n"); }));
        }
        EXPECT_TRUE(recorder.is_stopped() && recorder.pause()) << early;
        EXPECT_EQ(early ? device.starts.load() : device.stops.load(), early ? 0 : 1) << early;
    }
}

TEST_F(RecorderPCMTest, DeviceErrorsAreLoggedAndLeaveTheRecorderStopped)
{
    use_wav_input(wav16(8000, ramp(4000)));
    LogCapture log;
    {
        FakeWaveIn device;
        device.failing = { { "stop", platform::MMSYSERR_ERROR } };
        RecorderPCM recorder(1, 8000, 16, device);
        Collector sink;
        record_to_end(recorder, sink);
        EXPECT_FALSE(recorder.pause() || recorder.is_stopped());
        EXPECT_TRUE(log.contains("recorder bad pause!!!!! waveInStop=1\n"));
    }
    {
        FakeWaveIn device;
        device.failing = { { "start", platform::MMSYSERR_ERROR } };
        RecorderPCM recorder(1, 8000, 16, device);
        EXPECT_TRUE(recorder.start()); // the device is open
        EXPECT_TRUE(
            testing_support::wait_until([&] { return log.contains("recorder bad start!!!!! waveInStart=1\n"); }));
        EXPECT_TRUE(recorder.is_stopped() && recorder.pause()); // stopped already: the device is not asked
        EXPECT_EQ(device.stops.load(), 0);
    }
}

// SDL's dummy driver captures silence in real time: the whole path through SDL without a sound card.
TEST_F(RecorderPCMTest, SdlCapturesBlocksOfTheAskedFormat)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::select_wave_input("sdl");
    Collector sink;
    {
        RecorderPCM recorder(2, 16000, 16);
        connect(recorder, &sink);
        ASSERT_TRUE(recorder.start());
        testing_support::wait_until([&] { return sink.buffers().size() >= 2; });
    }
    auto const buffers = sink.buffers();
    ASSERT_GE(buffers.size(), 2u);
    EXPECT_EQ(buffers[0].format, (AudioFormat { 2, 16, 16000 }));
    EXPECT_EQ(audio_test::samples16(buffers[0]), std::vector<int16_t>(6400, 0)) << "0.2 s of silence";

    // A driver that does not exist: no microphone, one line on standard error.
    setenv("SDL_AUDIODRIVER", "ravelin-no-such-driver", 1);
    LogCapture log;
    std::string const error = stderr_of([] { EXPECT_FALSE(RecorderPCM(1, 8000, 16).start()); });
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_TRUE(log.contains("recorder bad open!!!!! waveInOpen=6\n"));
    EXPECT_TRUE(one_line_naming(error, "no microphone"));
}

} // namespace
