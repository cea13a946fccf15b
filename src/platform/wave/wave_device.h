#pragma once

#include "wave.h"
#include "wave_backend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// What the input and the output devices of wave.cpp and wave_out.cpp share: the open's checks, the choice
// of backend, the table of open devices by handle, and a device's queue of blocks with its messages.
// Private to the platform layer.
namespace platform::wave_backend {

enum class Direction { INPUT, OUTPUT };

// A file input or output in real time moves its samples in slices of this length.
constexpr auto REAL_TIME_SLICE = std::chrono::milliseconds(10);

// The open's checks before a backend is chosen: the device number, the notification kind and the format
// (PCM, 1 or 2 channels, 8 or 16 bits, 8000 Hz up to the direction's highest rate).
bool valid_format(WaveFormat const& format, Direction direction);
uint32_t check_open(int device, uint32_t flags, WaveFormat const& format, Direction direction);

// The backend named by RAVELIN_AUDIO_IN or RAVELIN_AUDIO_OUT, read at the first use, or the one selected
// since. Threads: any.
class BackendChoice {
public:
    explicit BackendChoice(Direction direction);

    Choice current();
    void select(std::string const& text);
    // The variable named the backend in use (nothing was selected since).
    bool named_by_environment();
    // What open answers for the current choice before any backend is tried: MMSYSERR_NOERROR for a backend
    // to open, MMSYSERR_BADDEVICEID for none, MMSYSERR_NODRIVER (said on standard error) for an unknown
    // one.
    uint32_t usable(Choice const& choice) const;

private:
    char const* const variable_;
    std::mutex mutex_;
    bool read_ = false;
    bool named_by_environment_ = false;
    Choice choice_;
};

// A device's handle, notification target and queue of blocks. The derived device keeps its own state
// under the same lock.
//
// Threads: the calls from any thread; the backend's thread completes blocks under the lock.
class DeviceCore {
public:
    DeviceCore(Direction direction, WaveHandle handle, WaveFormat const& format, uint32_t thread_id, uint32_t flags);
    virtual ~DeviceCore() = default;

    WaveHandle handle() const { return handle_; }
    WaveFormat const& format() const { return format_; }
    // MM_WIM_OPEN or MM_WOM_OPEN, when the device was opened with CALLBACK_THREAD.
    void notify_open() const;

    // An input block needs room; an output block may be empty.
    uint32_t prepare(WaveBlock& block);
    uint32_t unprepare(WaveBlock& block);
    // Queues a prepared block that is not queued yet; MMSYSERR_NODRIVER once the device has gone.
    uint32_t enqueue(WaveBlock& block);

protected:
    // Under the lock: a block was queued.
    virtual void queued_locked(WaveBlock&) { }
    // Takes the front block off the queue and marks it done, the flag last: whoever sees it may use the
    // block. Posts MM_WIM_DATA or MM_WOM_DONE naming it.
    WaveBlock* finish_front_locked();
    // The device went away: every queued block comes back done, with what it holds, and no block is
    // taken any more. Under the lock.
    void lose_locked();
    bool queue_empty();
    // MM_WIM_CLOSE or MM_WOM_CLOSE.
    void notify_close() const;
    // Sample frames due by `now` when the real-time clock started at `start`.
    uint64_t frames_due(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point now) const;

    Direction const direction_;
    WaveFormat const format_;

    std::mutex mutex_; // the queue and the derived device's state
    std::condition_variable changed_;
    std::deque<WaveBlock*> queue_;
    bool lost_ = false;

private:
    void notify(uint32_t message, WaveBlock* block) const;

    WaveHandle const handle_;
    uint32_t const thread_id_;
    uint32_t const flags_;
};

// The open devices of one direction by handle. Threads: any.
template <typename Device> class DeviceTable {
public:
    explicit DeviceTable(WaveHandle first)
        : next_(first)
    {
    }

    WaveHandle new_handle()
    {
        std::lock_guard lock(mutex_);
        return next_++;
    }

    // Publishes a device whose backend is attached, and tells its thread that it is open.
    void publish(std::shared_ptr<Device> const& device)
    {
        {
            std::lock_guard lock(mutex_);
            devices_.emplace(device->handle(), device);
        }
        device->notify_open();
    }

    // What `call` answers for the device, or MMSYSERR_INVALHANDLE when the handle names none.
    template <typename Call> uint32_t with(WaveHandle handle, Call call)
    {
        std::shared_ptr<Device> device;
        {
            std::lock_guard lock(mutex_);
            auto const it = devices_.find(handle);
            if (it == devices_.end())
                return MMSYSERR_INVALHANDLE;
            device = it->second;
        }
        return call(*device);
    }

    // Fails with WAVERR_STILLPLAYING while blocks are queued.
    uint32_t close(WaveHandle handle)
    {
        uint32_t const result
            = with(handle, [](Device& device) { return device.close() ? MMSYSERR_NOERROR : WAVERR_STILLPLAYING; });
        if (result == MMSYSERR_NOERROR) {
            std::lock_guard lock(mutex_);
            devices_.erase(handle);
        }
        return result;
    }

private:
    std::mutex mutex_;
    std::map<WaveHandle, std::shared_ptr<Device>> devices_;
    WaveHandle next_;
};

} // namespace platform::wave_backend
