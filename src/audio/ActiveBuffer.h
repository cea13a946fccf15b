#pragma once

#include "AudioConsumer.h"
#include "AudioProducer.h"

#include <condition_variable>
#include <core/Thread.h>
#include <deque>
#include <functional>
#include <platform/memory.h>

namespace audio {

// The memory queue between capture and the file writer: on_data queues a shared reference and returns at
// once; a drain thread of its own hands the buffers, in order, to the linked writer. A run-away queue or
// low memory makes it invalid, after which it drops everything until reset. A capture that can wait (a file
// read as fast as it is taken) asks wait_for_room before it gives more, and so never runs away.
//
// Threads: on_data on the capture thread; wait_for_room on the capture thread outside any chain lock; the
// writer's on_data on the drain thread, outside the queue's lock; is_valid, queued_bytes, queued_count
// and reset on the main thread. All state is under the consumer side's lock.
class ActiveBuffer final : public AudioConsumer, public AudioProducer, private core::Thread {
public:
    using MemoryStatusSource = std::function<platform::MemoryStatus()>;

    // Queued bytes above this make the buffer invalid.
    static constexpr int64_t MAX_QUEUED_BYTES = 10'000'000;
    // Available memory below this makes it invalid.
    static constexpr uint64_t MIN_AVAILABLE_MEMORY = 1'000'000;
    // Queued bytes up to this leave room for a capture that waits: a few seconds of audio, enough to keep
    // the writer busy and little enough for a small peak.
    static constexpr int64_t ROOM_BYTES = 256 * 1024;

    // `memory_status` stands in for the platform's in tests.
    explicit ActiveBuffer(MemoryStatusSource memory_status = platform::global_memory_status);
    ~ActiveBuffer() override;

    void on_data(AudioBuffer const& buffer) override;
    // Always empty: the buffer only pushes.
    AudioBuffer get_data(int32_t frames) override;

    bool is_valid();
    int64_t queued_bytes();
    // Buffers not yet written: those queued and the one the writer is taking now, so that a stop that
    // waits for zero never closes the file under the last block.
    int32_t queued_count();
    // Valid again, with an empty queue.
    void reset();
    // Waits up to `milliseconds` until at most ROOM_BYTES are queued; answers whether they are. An invalid
    // buffer always has room: it keeps nothing.
    bool wait_for_room(uint32_t milliseconds);

private:
    void run() override;

    MemoryStatusSource const memory_status_;
    std::deque<AudioBuffer> queue_;
    std::condition_variable_any room_; // the queue shrank, or the buffer turned invalid
    bool valid_ = true;
    int64_t queued_bytes_ = 0;
    bool delivering_ = false;
};

} // namespace audio
