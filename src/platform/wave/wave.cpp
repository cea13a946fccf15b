// The wave-input devices: blocks queued by the caller are filled in order, from SDL's capture thread or
// from a WAV file by a pump thread, and come back done with MM_WIM_DATA.
#include "wave.h"

#include "wave_backend.h"
#include "wave_device.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using wave_backend::Choice;
using wave_backend::Direction;
using wave_backend::report;

// Whether the input opened last has ended; see wave_input_ended().
struct Ending {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t serial = 0; // of the device opened last
    bool ended = false;
};

class CaptureDevice final : public wave_backend::DeviceCore, public wave_backend::CaptureSink {
public:
    CaptureDevice(WaveHandle handle, uint64_t serial, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
        : DeviceCore(Direction::INPUT, handle, format, thread_id, flags)
        , serial_(serial)
    {
    }

    ~CaptureDevice() override { shut_down(); }

    // Backends are attached before the device is published.
    void attach(std::unique_ptr<wave_backend::LiveInput> live) { live_ = std::move(live); }
    void attach(std::unique_ptr<wave_backend::RecordedInput> recorded)
    {
        recorded_ = std::move(recorded);
        fast_ = recorded_->fast();
        pump_thread_ = std::thread([this] { pump(); });
    }

    bool fast() const { return fast_; }

    uint32_t start()
    {
        std::lock_guard control(control_);
        {
            std::lock_guard lock(mutex_);
            if (lost_)
                return MMSYSERR_NODRIVER;
            if (started_)
                return MMSYSERR_NOERROR;
            started_ = true;
            clock_start_ = Clock::now();
            frames_given_ = 0;
        }
        changed_.notify_all();
        if (live_)
            live_->start();
        return MMSYSERR_NOERROR;
    }

    uint32_t stop()
    {
        std::lock_guard control(control_);
        // A live backend delivers under its own lock and then takes ours: stop it before taking ours.
        if (live_)
            live_->stop();
        std::lock_guard lock(mutex_);
        started_ = false;
        if (!queue_.empty() && queue_.front()->bytes_recorded.load() > 0)
            complete_front_locked();
        return MMSYSERR_NOERROR;
    }

    uint32_t reset()
    {
        std::lock_guard control(control_);
        if (live_)
            live_->stop();
        std::lock_guard lock(mutex_);
        started_ = false;
        while (!queue_.empty())
            complete_front_locked();
        return MMSYSERR_NOERROR;
    }

    // False while blocks are queued.
    bool close()
    {
        std::lock_guard control(control_);
        if (!queue_empty())
            return false;
        shut_down();
        notify_close();
        return true;
    }

    void deliver(uint8_t const* bytes, size_t count) override
    {
        std::lock_guard lock(mutex_);
        if (started_)
            deliver_locked(bytes, count);
    }

    // What the blocks hold comes back with them; the caller finds out when it queues one again.
    void lost() override
    {
        {
            std::lock_guard lock(mutex_);
            started_ = false;
            lose_locked();
        }
        report("the microphone went away");
    }

private:
    void queued_locked(WaveBlock& block) override
    {
        awaiting_.erase(&block);
        publish_ending_locked();
    }

    void shut_down()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            started_ = false;
        }
        changed_.notify_all();
        if (pump_thread_.joinable())
            pump_thread_.join();
        if (live_)
            live_->stop();
        live_.reset();
        recorded_.reset();
        std::lock_guard lock(mutex_);
        // A closed input has nothing more to give.
        if (exhausted_)
            awaiting_.clear();
        publish_ending_locked();
    }

    // Copies into the queued blocks; what finds no block is lost, as on a device that overran.
    void deliver_locked(uint8_t const* bytes, size_t count)
    {
        while (count > 0 && !queue_.empty()) {
            WaveBlock* block = queue_.front();
            uint32_t const have = block->bytes_recorded.load(std::memory_order_relaxed);
            size_t const n = std::min<size_t>(count, block->buffer_length - have);
            std::memcpy(block->data + have, bytes, n);
            block->bytes_recorded.store(have + static_cast<uint32_t>(n), std::memory_order_relaxed);
            bytes += n;
            count -= n;
            if (have + n == block->buffer_length)
                complete_front_locked();
        }
    }

    void complete_front_locked() { awaiting_.insert(finish_front_locked()); }

    void end_of_input_locked()
    {
        exhausted_ = true;
        if (!queue_.empty() && queue_.front()->bytes_recorded.load() > 0)
            complete_front_locked();
        publish_ending_locked();
    }

    void publish_ending_locked();

    // Reads a recorded input into the queued blocks, in real time or as fast as blocks are queued. The file
    // is read outside the lock, so that queueing, stopping and the ending's question never wait for a disk.
    void pump()
    {
        std::unique_lock lock(mutex_);
        while (!closing_) {
            if (!started_ || exhausted_ || (recorded_->fast() && queue_.empty()))
                changed_.wait(lock);
            else if (recorded_->fast())
                fill_front_locked(lock);
            else if (!give_due_locked(lock))
                changed_.wait_until(lock, Clock::now() + wave_backend::REAL_TIME_SLICE);
        }
    }

    // As fast as blocks are queued: the front block filled in whole frames, or the input's end. What was
    // read while the lock was open waits in `pending_` for the block that is at the front once it is
    // taken again (a reset may have changed it), so no frame of the file is lost.
    void fill_front_locked(std::unique_lock<std::mutex>& lock)
    {
        uint32_t const align = std::max<uint32_t>(format_.block_align, 1);
        auto const room_of = [align](WaveBlock const& block) {
            return size_t(block.buffer_length - block.bytes_recorded.load(std::memory_order_relaxed)) / align * align;
        };
        if (pending_at_ == pending_.size()) {
            size_t const room = room_of(*queue_.front());
            pending_.resize(room);
            pending_at_ = 0;
            lock.unlock();
            size_t const got = room > 0 ? recorded_->read(pending_.data(), room) : 0;
            lock.lock();
            pending_.resize(got);
            input_ended_ = got < room;
            if (closing_ || !started_ || queue_.empty())
                return;
        }
        WaveBlock* block = queue_.front();
        uint32_t const have = block->bytes_recorded.load(std::memory_order_relaxed);
        size_t const n = std::min(pending_.size() - pending_at_, room_of(*block));
        std::memcpy(block->data + have, pending_.data() + pending_at_, n);
        pending_at_ += n;
        block->bytes_recorded.store(have + static_cast<uint32_t>(n), std::memory_order_relaxed);
        if (pending_at_ == pending_.size() && input_ended_)
            end_of_input_locked();
        else if (room_of(*block) == 0)
            complete_front_locked();
    }

    // In real time: the frames due since the start, delivered as a live device would; false when none is
    // due yet. Frames read while a stop came are lost, as they would be on a live device.
    bool give_due_locked(std::unique_lock<std::mutex>& lock)
    {
        uint64_t const due = frames_due(clock_start_, Clock::now());
        if (due <= frames_given_)
            return false;
        size_t const want = static_cast<size_t>(due - frames_given_) * std::max<uint32_t>(format_.block_align, 1);
        frames_given_ = due;
        scratch_.resize(want);
        lock.unlock();
        size_t const got = recorded_->read(scratch_.data(), want);
        lock.lock();
        if (started_ && !closing_)
            deliver_locked(scratch_.data(), got);
        if (got < want)
            end_of_input_locked();
        return true;
    }

    uint64_t const serial_;
    bool fast_ = false; // set before the device is published

    std::mutex control_; // serialises start, stop, reset and close
    // Under the core's lock.
    std::set<WaveBlock*> awaiting_; // filled and not queued again yet
    bool started_ = false;
    bool closing_ = false;
    bool exhausted_ = false;
    Clock::time_point clock_start_;
    uint64_t frames_given_ = 0;
    std::vector<uint8_t> scratch_; // the pump's own
    std::vector<uint8_t> pending_; // read in fast mode, from pending_at_ on not yet in a block
    size_t pending_at_ = 0;
    bool input_ended_ = false; // the read that filled pending_ reached the end of the input

    std::unique_ptr<wave_backend::LiveInput> live_;
    std::unique_ptr<wave_backend::RecordedInput> recorded_;
    std::thread pump_thread_;
};

struct Inputs {
    wave_backend::DeviceTable<CaptureDevice> table { 0x5100 };
    wave_backend::BackendChoice choice { Direction::INPUT };
    std::mutex mutex; // the two below
    uint64_t next_serial = 1;
    std::string device_name;
    Ending ending;
};

Inputs& inputs()
{
    static auto* instance = new Inputs; // outlives devices closed while the process ends
    return *instance;
}

void CaptureDevice::publish_ending_locked()
{
    bool const ended = exhausted_ && awaiting_.empty();
    auto& ending = inputs().ending;
    {
        std::lock_guard lock(ending.mutex);
        if (ending.serial != serial_)
            return;
        ending.ended = ended;
    }
    ending.changed.notify_all();
}

// A device on the chosen backend, not yet published; none, with a line on standard error, when the
// backend cannot start.
std::shared_ptr<CaptureDevice> make_device(
    Choice const& choice, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
{
    auto& in = inputs();
    uint64_t serial = 0;
    std::string device_name;
    {
        std::lock_guard lock(in.mutex);
        serial = in.next_serial++;
        if (!in.choice.named_by_environment())
            device_name = in.device_name;
    }
    {
        std::lock_guard lock(in.ending.mutex);
        in.ending.serial = serial;
        in.ending.ended = false;
    }
    auto input = std::make_shared<CaptureDevice>(in.table.new_handle(), serial, format, thread_id, flags);
    std::string error;
    if (choice.kind == Choice::Kind::SDL) {
        auto live = wave_backend::open_sdl_input(format, *input, device_name, error);
        if (live) {
            input->attach(std::move(live));
            return input;
        }
    } else if (auto recorded = wave_backend::open_file_input(choice.path, choice.fast, format, error)) {
        input->attach(std::move(recorded));
        return input;
    }
    report(error);
    return nullptr;
}

} // namespace

uint32_t wave_in_open(
    WaveHandle& handle, int device, WaveFormat const& format, uint32_t thread_id, uintptr_t, uint32_t flags)
{
    handle = 0;
    auto& in = inputs();
    Choice choice;
    uint32_t result = wave_backend::check_open(device, flags, format, Direction::INPUT);
    if (result == MMSYSERR_NOERROR && (flags & WAVE_FORMAT_QUERY))
        return result;
    if (result == MMSYSERR_NOERROR) {
        choice = in.choice.current();
        result = in.choice.usable(choice);
    }
    if (result != MMSYSERR_NOERROR)
        return result;
    auto input = make_device(choice, format, thread_id, flags);
    if (!input)
        return MMSYSERR_NODRIVER;
    in.table.publish(input);
    handle = input->handle();
    return MMSYSERR_NOERROR;
}

uint32_t wave_in_prepare_header(WaveHandle handle, WaveBlock& block)
{
    return inputs().table.with(handle, [&](CaptureDevice& input) { return input.prepare(block); });
}

uint32_t wave_in_unprepare_header(WaveHandle handle, WaveBlock& block)
{
    return inputs().table.with(handle, [&](CaptureDevice& input) { return input.unprepare(block); });
}

uint32_t wave_in_add_buffer(WaveHandle handle, WaveBlock& block)
{
    return inputs().table.with(handle, [&](CaptureDevice& input) { return input.enqueue(block); });
}

uint32_t wave_in_start(WaveHandle handle)
{
    return inputs().table.with(handle, [](CaptureDevice& input) { return input.start(); });
}

uint32_t wave_in_stop(WaveHandle handle)
{
    return inputs().table.with(handle, [](CaptureDevice& input) { return input.stop(); });
}

uint32_t wave_in_reset(WaveHandle handle)
{
    return inputs().table.with(handle, [](CaptureDevice& input) { return input.reset(); });
}

uint32_t wave_in_close(WaveHandle handle)
{
    return inputs().table.close(handle);
}

bool wave_in_is_fast(WaveHandle handle)
{
    return inputs().table.with(handle, [](CaptureDevice& input) { return input.fast() ? 1u : 0u; }) == 1u;
}

std::vector<std::string> wave_input_devices()
{
    return wave_backend::sdl_input_devices();
}

std::vector<std::string> wave_output_devices()
{
    return wave_backend::sdl_output_devices();
}

void set_wave_input_device(std::string const& name)
{
    auto& in = inputs();
    std::lock_guard lock(in.mutex);
    in.device_name = name;
}

void select_wave_input(std::string const& choice)
{
    inputs().choice.select(choice);
}

bool wave_input_ended()
{
    return wave_input_wait_end(0);
}

bool wave_input_wait_end(uint32_t milliseconds)
{
    auto& ending = inputs().ending;
    std::unique_lock lock(ending.mutex);
    return ending.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return ending.ended; });
}

} // namespace platform
