#pragma once

#include "AudioConsumer.h"
#include "AudioProducer.h"

#include <core/Thread.h>
#include <deque>
#include <functional>
#include <platform/memory.h>

namespace audio {

// The memory queue between capture and the file writer: on_data queues a shared reference and returns at
// once; a drain thread of its own hands the buffers, in order, to the linked writer. A run-away queue or
// low memory makes it invalid, after which it drops everything until reset.
//
// Threads: on_data on the capture thread; the writer's on_data on the drain thread, outside the queue's
// lock; is_valid, queued_bytes, queued_count and reset on the main thread. All state is under the
// consumer side's lock.
class ActiveBuffer final : public AudioConsumer, public AudioProducer, private core::Thread {
public:
    using MemoryStatusSource = std::function<platform::MemoryStatus()>;

    // Queued bytes above this make the buffer invalid.
    static constexpr int64_t MAX_QUEUED_BYTES = 10'000'000;
    // Available memory below this makes it invalid.
    static constexpr uint64_t MIN_AVAILABLE_MEMORY = 1'000'000;

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

private:
    void run() override;

    MemoryStatusSource const memory_status_;
    std::deque<AudioBuffer> queue_;
    bool valid_ = true;
    int64_t queued_bytes_ = 0;
    bool delivering_ = false;
};

} // namespace audio
