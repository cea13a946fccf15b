// A file input read as fast as it is taken never outruns the writer: the memory buffer says when it has
// room, and the recorder takes a fast device's next blocks only then; a live device never waits.
#include "AudioTestSupport.h"

#include <atomic>
#include <audio/ActiveBuffer.h>
#include <audio/RecorderPCM.h>

using namespace audio;

namespace {

AudioBuffer bytes(size_t count)
{
    return AudioBuffer(core::SharedBuffer(count), AudioFormat { 1, 16, 8000 });
}

// Holds the drain thread in its first buffer until released, so that what follows stays queued.
struct HeldWriter final : AudioConsumer {
    void on_data(AudioBuffer const&) override
    {
        entered.set();
        release.wait();
    }
    core::Event entered { core::EventReset::AUTOMATIC }, release { core::EventReset::MANUAL };
};

TEST(ActiveBufferRoom, IsThereUpToTheMarkAndAlwaysInAnInvalidBuffer)
{
    std::atomic<uint64_t> available { 1ull << 32 };
    HeldWriter writer;
    ActiveBuffer buffer([&] { return platform::MemoryStatus { 0, 0, available.load() }; });
    connect(buffer, &writer);
    buffer.on_data(bytes(1));
    ASSERT_TRUE(writer.entered.wait_for(5000));
    buffer.on_data(bytes(ActiveBuffer::ROOM_BYTES));
    EXPECT_TRUE(buffer.wait_for_room(0)) << "exactly the mark still leaves room";
    buffer.on_data(bytes(1));
    EXPECT_FALSE(buffer.wait_for_room(0));
    available = 0; // an invalid buffer keeps nothing more: no need to wait
    buffer.on_data(bytes(1));
    EXPECT_FALSE(buffer.is_valid());
    EXPECT_TRUE(buffer.wait_for_room(0));
    writer.release.set();
}

// Says there is no room until opened, and counts the questions.
struct Room {
    core::Event open { core::EventReset::MANUAL };
    std::atomic<int> asked { 0 };
};

using CaptureRoom = audio_test::DeviceTest;

TEST_F(CaptureRoom, AFastInputWaitsForRoomALiveOneNeverAndNeitherLosesASample)
{
    for (bool const fast : { true, false }) {
        // Fast: a hundred blocks, ten times what the device holds; live: 0.3 s in real time.
        std::vector<int16_t> const samples = audio_test::ramp(fast ? 8000 * 20 : 2400);
        use_wav_input(testing_support::wav16(8000, samples), fast);
        audio_test::Collector sink;
        Room room;
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
        EXPECT_EQ(room.asked.load() > 0, fast);
        EXPECT_EQ(sink.samples(), samples) << (fast ? "fast" : "live");
    }
}

} // namespace
