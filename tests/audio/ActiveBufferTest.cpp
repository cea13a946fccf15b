#include "AudioTestSupport.h"

#include <atomic>
#include <audio/ActiveBuffer.h>

using namespace audio;
using testing_support::LogCapture;
using testing_support::numbers;

namespace {

auto const plenty = [] { return platform::MemoryStatus { 0, 0, 1ull << 32 }; };

// A writer that holds the drain thread inside on_data until released.
class BlockingWriter final : public AudioConsumer {
public:
    void on_data(AudioBuffer const& buffer) override
    {
        entered.set();
        release.wait();
        written.fetch_add(buffer.length());
    }
    core::Event entered { core::EventReset::AUTOMATIC };
    core::Event release { core::EventReset::MANUAL };
    std::atomic<size_t> written { 0 };
};

AudioBuffer bytes(size_t count)
{
    return AudioBuffer(core::SharedBuffer(count), AudioFormat { 1, 16, 8000 });
}

TEST(ActiveBuffer, TheQueueLimitIsStrictlyAboveTenMillionBytes)
{
    LogCapture log;
    ActiveBuffer buffer(plenty);
    BlockingWriter writer;
    connect(buffer, &writer);
    auto const state = [&] { return numbers(buffer.is_valid(), buffer.queued_count(), buffer.queued_bytes()); };
    buffer.on_data(bytes(1));
    ASSERT_TRUE(writer.entered.wait_for(5000));
    // The block being written still counts, so that a stop does not close the file under it.
    EXPECT_EQ(state(), numbers(true, 1, 0));

    AudioBuffer const block = bytes(10'000); // views share one block: no 10 MB of copies
    for (int i = 0; i < 1000; ++i)
        buffer.on_data(block);
    EXPECT_EQ(buffer.queued_bytes(), 10'000'000);
    buffer.on_data(bytes(10)); // exactly 10,000,000 queued: still accepted
    EXPECT_EQ(state(), numbers(true, 1002, 10'000'010));

    buffer.on_data(bytes(10));
    EXPECT_FALSE(buffer.is_valid());
    EXPECT_TRUE(log.contains("ActiveBuffer::invalid1 size=10000010\n"));

    log.clear();
    for (int i = 0; i < 3; ++i)
        buffer.on_data(bytes(10));
    EXPECT_EQ(state(), numbers(false, 1002, 10'000'010));
    EXPECT_FALSE(log.contains("ActiveBuffer::invalid"));

    buffer.reset();
    EXPECT_EQ(state(), numbers(true, 1, 0)) << "the block in the writer's hands";
    writer.release.set();
    EXPECT_TRUE(testing_support::wait_until([&] { return buffer.queued_count() == 0; }));
    EXPECT_EQ(writer.written.load(), 1u);
}

TEST(ActiveBufferRoom, IsThereUpToTheMarkAndAlwaysInAnInvalidBuffer)
{
    std::atomic<uint64_t> available { 1ull << 32 };
    BlockingWriter writer;
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

TEST(ActiveBuffer, LowMemoryMakesItInvalidAndLogsTheFreeAmount)
{
    LogCapture log;
    std::atomic<uint64_t> available { 1'000'000 };
    ActiveBuffer buffer([&] { return platform::MemoryStatus { 0, 0, available.load() }; });
    buffer.on_data(bytes(100)); // exactly 1,000,000 free passes
    EXPECT_TRUE(buffer.is_valid());

    available = 999'999;
    buffer.on_data(bytes(100));
    EXPECT_FALSE(buffer.is_valid());
    // The drain thread may log between the pieces of this line.
    EXPECT_TRUE(log.contains_all({ "ActiveBuffer::invalid2 status.dwAvailPhys=", "999999" }));

    log.clear();
    available = 1'000'000'000;
    buffer.on_data(bytes(100));
    EXPECT_FALSE(buffer.is_valid() || log.contains("ActiveBuffer::invalid")) << "invalid until reset, logged once";
    buffer.reset();
    EXPECT_TRUE(buffer.is_valid());
}

// The buffer the Document makes: it only pushes, and trusts the platform's free memory, which a working
// machine has enough of.
TEST(ActiveBuffer, TheDefaultBufferOnlyPushesAndReadsThePlatformsMemory)
{
    ActiveBuffer buffer;
    AudioBuffer const pulled = buffer.get_data(1000);
    EXPECT_TRUE(pulled.empty() && pulled.format.is_none());
    platform::MemoryStatus const status = platform::global_memory_status();
    EXPECT_GT(status.avail_phys, ActiveBuffer::MIN_AVAILABLE_MEMORY);
    EXPECT_LE(status.avail_phys, status.total_phys);
}

// Many small blocks from a capture thread; the main thread waits for the queue to empty as a stop does.
// Every block must have been written, in order, when the count reaches zero, and the wait must end.
TEST(ActiveBuffer, AStopThatWaitsForTheDrainSeesEveryBlockWritten)
{
    constexpr int BLOCKS = 5000;
    std::string blocks; // block i holds the number i
    for (int i = 0; i < BLOCKS; ++i)
        blocks += audio_test::le(uint32_t(i), 4);
    for (int round = 0; round < 3; ++round) {
        ActiveBuffer buffer(plenty);
        audio_test::Collector writer;
        connect(buffer, &writer);
        std::thread capture([&] {
            for (size_t i = 0; i < BLOCKS; ++i)
                buffer.on_data(AudioBuffer(core::SharedBuffer(4, blocks.data() + 4 * i), AudioFormat { 1, 16, 8000 }));
        });
        capture.join();
        ASSERT_TRUE(testing_support::wait_until([&] { return buffer.queued_count() == 0; }, 30000))
            << "the drain thread stopped with blocks queued";
        connect(buffer, nullptr);
        EXPECT_EQ(writer.buffers().size(), size_t(BLOCKS));
        EXPECT_TRUE(writer.bytes() == blocks) << "blocks were written out of order";
    }
}

} // namespace
