#include "AudioTestSupport.h"

#include <atomic>
#include <audio/ActiveBuffer.h>
#include <audio/filters/BoostFilter.h>
#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>
#include <core/Thread.h>

using namespace audio;

namespace {

constexpr int32_t THREADED_RATE = 8000;

class CheckingWriter final : public AudioConsumer {
public:
    // A sawtooth from -700 to 699: quiet enough that boosting leaves it as it is, so the writer can check
    // that what reaches it is the input, in order, with gaps only where the gate was cut.
    static int16_t after(int16_t v) { return v == 699 ? -700 : static_cast<int16_t>(v + 1); }

    void on_data(AudioBuffer const& buffer) override
    {
        auto const samples = audio_test::samples16(buffer);
        for (size_t i = 1; i < samples.size(); ++i)
            if (samples[i] != after(samples[i - 1]))
                broken = true;
        frames += samples.size();
    }
    // Only the drain thread writes these; the main thread reads them after the drain.
    size_t frames = 0;
    bool broken = false;
};

class Capture final : public AudioProducer { };

// The recording chain with the capture thread delivering while the main thread cuts and re-makes the
// pause gate, changes the boost level and the threshold, and reads the meter, the counter and the
// buffer, as the Document does on its tick.
TEST(ChainThreads, TheMainThreadRelinksWhileTheCaptureThreadDelivers)
{
    Capture capture;
    BoostFilter boost;
    LevelMeter meter;
    DurationCounter duration;
    ActiveBuffer buffer;
    CheckingWriter writer;
    connect(capture, &boost);
    connect(boost, &meter);
    connect(meter, &duration);
    connect(duration, &buffer);
    connect(buffer, &writer);

    // The capture thread delivers BLOCKS while the main thread relinks, then, once the gate stays open
    // for good, a tail of TAIL blocks that must all be written.
    constexpr int BLOCKS = 3000, TAIL = 100;
    std::atomic<int> phase { 0 }; // 0 relinking, 1 capture waits, 2 gate open for good
    std::thread capture_thread([&] {
        int16_t v = -700;
        auto deliver = [&](int count) {
            for (int b = 0; b < count; ++b) {
                std::vector<int16_t> block(160);
                for (auto& s : block) {
                    s = v;
                    v = CheckingWriter::after(v);
                }
                feed_consumer(capture, audio_test::buffer16(block, THREADED_RATE));
            }
        };
        deliver(BLOCKS);
        phase = 1;
        while (phase != 2)
            std::this_thread::yield();
        deliver(TAIL);
    });

    int relinks = 0;
    bool levels_in_range = true;
    while (phase == 0) {
        bool const cut = ++relinks % 2 == 1;
        connect(meter, cut ? nullptr : &duration);
        double const level = meter.level();
        levels_in_range = levels_in_range && level >= 0.0 && level <= 700 / 32768.0;
        boost.set_level(relinks % 3 == 0 ? 1 : 2);
        meter.set_threshold(relinks % 5 == 0 ? 0.01 : 0.0);
        std::this_thread::yield();
    }
    connect(meter, &duration);
    phase = 2;
    capture_thread.join();
    while (buffer.queued_count() != 0)
        core::sleep(0.01);

    EXPECT_TRUE(buffer.is_valid());
    EXPECT_FALSE(writer.broken) << "a block reached the writer altered or out of order";
    // What the boost may still hold back is at most two windows.
    EXPECT_GE(writer.frames, size_t(TAIL * 160 - 2 * THREADED_RATE / 10));
    EXPECT_NEAR(duration.duration(), double(writer.frames) / THREADED_RATE, 1e-6) << "counted and written differ";
    EXPECT_TRUE(levels_in_range);
    EXPECT_GT(relinks, 0);
}

} // namespace
