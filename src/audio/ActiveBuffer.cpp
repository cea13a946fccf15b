#include "ActiveBuffer.h"

#include <chrono>
#include <core/Log.h>

namespace audio {

ActiveBuffer::ActiveBuffer(MemoryStatusSource memory_status)
    : memory_status_(std::move(memory_status))
{
    start();
}

ActiveBuffer::~ActiveBuffer()
{
    request_stop();
    resume();
    join();
}

void ActiveBuffer::on_data(AudioBuffer const& buffer)
{
    AudioBuffer copy(buffer.data, buffer.format); // shares the bytes; a coded block size is not carried
    {
        core::Lock guard(lock());
        if (!valid_)
            return;
        if (queued_bytes_ > MAX_QUEUED_BYTES) {
            valid_ = false;
            room_.notify_all();
            core::log() << "ActiveBuffer::invalid1 size=" << queued_bytes_ << "\n";
            return;
        }
        platform::MemoryStatus const status = memory_status_();
        if (status.avail_phys < MIN_AVAILABLE_MEMORY) {
            valid_ = false;
            room_.notify_all();
            core::log() << "ActiveBuffer::invalid2 status.dwAvailPhys=" << status.avail_phys << "\n";
            return;
        }
        queued_bytes_ += static_cast<int64_t>(copy.length());
        queue_.push_back(std::move(copy));
    }
    // Woken after the lock is released, the drain thread does not stall on it at once; a resume that
    // comes before its suspend is kept, so none is lost.
    resume();
}

AudioBuffer ActiveBuffer::get_data(int32_t)
{
    return {};
}

bool ActiveBuffer::is_valid()
{
    core::Lock guard(lock());
    return valid_;
}

int64_t ActiveBuffer::queued_bytes()
{
    core::Lock guard(lock());
    return queued_bytes_;
}

int32_t ActiveBuffer::queued_count()
{
    core::Lock guard(lock());
    return static_cast<int32_t>(queue_.size()) + (delivering_ ? 1 : 0);
}

void ActiveBuffer::reset()
{
    core::Lock guard(lock());
    valid_ = true;
    queue_.clear();
    queued_bytes_ = 0;
    room_.notify_all();
}

bool ActiveBuffer::wait_for_room(uint32_t milliseconds)
{
    std::unique_lock guard(lock());
    return room_.wait_for(
        guard, std::chrono::milliseconds(milliseconds), [this] { return !valid_ || queued_bytes_ <= ROOM_BYTES; });
}

void ActiveBuffer::run()
{
    suspend(); // until the first buffer arrives
    while (!stop_requested()) {
        AudioBuffer buffer;
        bool taken = false;
        {
            core::Lock guard(lock());
            if (!queue_.empty()) {
                buffer = std::move(queue_.front());
                queue_.pop_front();
                queued_bytes_ -= static_cast<int64_t>(buffer.length());
                delivering_ = taken = true;
            }
        }
        if (taken)
            room_.notify_all();
        if (!taken) {
            suspend();
            continue;
        }
        feed_consumer(*this, buffer);
        core::Lock guard(lock());
        delivering_ = false;
    }
}

} // namespace audio
