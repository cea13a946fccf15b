#include "wave.h"

#include "wave_backend.h"
#include <platform/messages.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A file input in real time is read in slices of this length.
constexpr auto REAL_TIME_SLICE = std::chrono::milliseconds(10);

using InputChoice = wave_backend::Choice;

// Whether the input opened last has ended; see wave_input_ended().
struct Ending {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t serial = 0; // of the device opened last
    bool ended = false;
};

struct Devices;

class InputDevice final : public wave_backend::CaptureSink {
public:
    InputDevice(WaveHandle handle, uint64_t serial, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
        : handle_(handle)
        , serial_(serial)
        , format_(format)
        , thread_id_(thread_id)
        , flags_(flags)
    {
    }

    ~InputDevice() { shut_down(); }

    // Backends are attached before the device is published.
    void attach(std::unique_ptr<wave_backend::LiveInput> live) { live_ = std::move(live); }
    void attach(std::unique_ptr<wave_backend::RecordedInput> recorded)
    {
        recorded_ = std::move(recorded);
        pump_thread_ = std::thread([this] { pump(); });
    }

    void notify(uint32_t message, WaveBlock* block = nullptr)
    {
        if (flags_ == CALLBACK_THREAD)
            post_thread_message(thread_id_, message, handle_, reinterpret_cast<intptr_t>(block));
    }

    uint32_t prepare(WaveBlock& block)
    {
        std::lock_guard lock(mutex_);
        if (block.flags.load() & WHDR_INQUEUE)
            return WAVERR_STILLPLAYING;
        if (!block.data || block.buffer_length == 0)
            return MMSYSERR_INVALPARAM;
        block.flags.fetch_or(WHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }

    uint32_t unprepare(WaveBlock& block)
    {
        std::lock_guard lock(mutex_);
        if (block.flags.load() & WHDR_INQUEUE)
            return WAVERR_STILLPLAYING;
        block.flags.fetch_and(~WHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }

    uint32_t add(WaveBlock& block)
    {
        {
            std::lock_guard lock(mutex_);
            uint32_t const flags = block.flags.load();
            if (!(flags & WHDR_PREPARED))
                return WAVERR_UNPREPARED;
            if (flags & WHDR_INQUEUE)
                return WAVERR_STILLPLAYING;
            block.bytes_recorded.store(0);
            block.flags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
            queue_.push_back(&block);
            awaiting_.erase(&block);
            publish_ending_locked();
        }
        changed_.notify_all();
        return MMSYSERR_NOERROR;
    }

    uint32_t start()
    {
        std::lock_guard control(control_);
        {
            std::lock_guard lock(mutex_);
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
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty())
                return false;
        }
        shut_down();
        notify(MM_WIM_CLOSE);
        return true;
    }

    void deliver(uint8_t const* bytes, size_t count) override
    {
        std::lock_guard lock(mutex_);
        if (started_)
            deliver_locked(bytes, count);
    }

private:
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

    // The done flag is set last: whoever sees it may read the data and the count.
    void complete_front_locked()
    {
        WaveBlock* block = queue_.front();
        queue_.pop_front();
        uint32_t const flags = block->flags.load(std::memory_order_relaxed);
        block->flags.store((flags & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
        awaiting_.insert(block);
        notify(MM_WIM_DATA, block);
    }

    void end_of_input_locked()
    {
        exhausted_ = true;
        if (!queue_.empty() && queue_.front()->bytes_recorded.load() > 0)
            complete_front_locked();
        publish_ending_locked();
    }

    void publish_ending_locked();

    // Reads a recorded input into the queued blocks, in real time or as fast as blocks are queued.
    void pump()
    {
        std::unique_lock lock(mutex_);
        uint32_t const align = std::max<uint32_t>(format_.block_align, 1);
        while (!closing_) {
            if (!started_ || exhausted_) {
                changed_.wait(lock);
                continue;
            }
            if (recorded_->fast()) {
                if (queue_.empty()) {
                    changed_.wait(lock);
                    continue;
                }
                WaveBlock* block = queue_.front();
                uint32_t const have = block->bytes_recorded.load(std::memory_order_relaxed);
                size_t const room = (block->buffer_length - have) / align * align;
                size_t const got = room > 0 ? recorded_->read(block->data + have, room) : 0;
                block->bytes_recorded.store(have + static_cast<uint32_t>(got), std::memory_order_relaxed);
                if (got < room)
                    end_of_input_locked();
                else
                    complete_front_locked();
                continue;
            }
            auto const now = Clock::now();
            auto const elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - clock_start_).count();
            uint64_t const due = static_cast<uint64_t>(elapsed) * format_.samples_per_sec / 1000000;
            if (due > frames_given_) {
                size_t const want = static_cast<size_t>(due - frames_given_) * align;
                scratch_.resize(want);
                size_t const got = recorded_->read(scratch_.data(), want);
                frames_given_ = due;
                deliver_locked(scratch_.data(), got);
                if (got < want)
                    end_of_input_locked();
                continue;
            }
            changed_.wait_until(lock, now + REAL_TIME_SLICE);
        }
    }

    WaveHandle const handle_;
    uint64_t const serial_;
    WaveFormat const format_;
    uint32_t const thread_id_;
    uint32_t const flags_;

    std::mutex control_; // serialises start, stop, reset and close
    std::mutex mutex_; // the queue and the state below
    std::condition_variable changed_;
    std::deque<WaveBlock*> queue_;
    std::set<WaveBlock*> awaiting_; // filled and not queued again yet
    bool started_ = false;
    bool closing_ = false;
    bool exhausted_ = false;
    Clock::time_point clock_start_;
    uint64_t frames_given_ = 0;
    std::vector<uint8_t> scratch_;

    std::unique_ptr<wave_backend::LiveInput> live_;
    std::unique_ptr<wave_backend::RecordedInput> recorded_;
    std::thread pump_thread_;
};

struct Devices {
    std::mutex mutex;
    std::map<WaveHandle, std::shared_ptr<InputDevice>> inputs;
    WaveHandle next_handle = 0x5100;
    uint64_t next_serial = 1;
    bool choice_read = false;
    bool choice_from_environment = false;
    InputChoice choice;
    std::string input_device;
    Ending ending;
};

Devices& devices()
{
    static auto* instance = new Devices; // outlives devices closed while the process ends
    return *instance;
}

void InputDevice::publish_ending_locked()
{
    bool const ended = exhausted_ && awaiting_.empty();
    auto& ending = devices().ending;
    {
        std::lock_guard lock(ending.mutex);
        if (ending.serial != serial_)
            return;
        ending.ended = ended;
    }
    ending.changed.notify_all();
}

std::shared_ptr<InputDevice> find_input(WaveHandle handle)
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    auto it = d.inputs.find(handle);
    return it == d.inputs.end() ? nullptr : it->second;
}

InputChoice current_choice()
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    if (!d.choice_read) {
        char const* value = std::getenv("RAVELIN_AUDIO_IN");
        d.choice = wave_backend::parse_choice(value ? value : "");
        d.choice_from_environment = value && *value;
        d.choice_read = true;
    }
    return d.choice;
}

bool valid_format(WaveFormat const& f)
{
    return f.format_tag == WAVE_FORMAT_PCM && (f.channels == 1 || f.channels == 2)
        && (f.bits_per_sample == 8 || f.bits_per_sample == 16) && f.samples_per_sec >= 8000
        && f.samples_per_sec <= 48000 && f.block_align == f.channels * f.bits_per_sample / 8
        && f.avg_bytes_per_sec == f.block_align * f.samples_per_sec;
}

using wave_backend::report;

} // namespace

namespace wave_backend {

Choice parse_choice(std::string const& text)
{
    Choice choice;
    choice.text = text;
    if (text.empty() || text == "sdl") {
        choice.kind = Choice::Kind::SDL;
    } else if (text == "none") {
        choice.kind = Choice::Kind::NONE;
    } else if (text.starts_with("file:")) {
        choice.kind = Choice::Kind::FILE;
        choice.path = text.substr(5);
        if (choice.path.ends_with(",fast")) {
            choice.fast = true;
            choice.path.resize(choice.path.size() - 5);
        }
        if (choice.path.empty())
            choice.kind = Choice::Kind::UNKNOWN;
    } else {
        choice.kind = Choice::Kind::UNKNOWN;
    }
    return choice;
}

void report(std::string const& line)
{
    std::fprintf(stderr, "ravelin: %s\n", line.c_str());
    std::fflush(stderr);
}

} // namespace wave_backend

uint32_t wave_in_open(
    WaveHandle& handle, int device, WaveFormat const& format, uint32_t thread_id, uintptr_t, uint32_t flags)
{
    handle = 0;
    if (device != WAVE_MAPPER && device != 0)
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL && flags != CALLBACK_THREAD)
        return MMSYSERR_INVALFLAG;
    if (!valid_format(format))
        return WAVERR_BADFORMAT;

    InputChoice const choice = current_choice();
    if (choice.kind == InputChoice::Kind::NONE)
        return MMSYSERR_BADDEVICEID;
    if (choice.kind == InputChoice::Kind::UNKNOWN) {
        report("RAVELIN_AUDIO_IN=" + choice.text + " is none of sdl, file:PATH.wav[,fast] and none");
        return MMSYSERR_NODRIVER;
    }

    auto& d = devices();
    WaveHandle new_handle = 0;
    uint64_t serial = 0;
    {
        std::lock_guard lock(d.mutex);
        new_handle = d.next_handle++;
        serial = d.next_serial++;
    }
    {
        std::lock_guard lock(d.ending.mutex);
        d.ending.serial = serial;
        d.ending.ended = false;
    }
    auto input = std::make_shared<InputDevice>(new_handle, serial, format, thread_id, flags);
    std::string error;
    if (choice.kind == InputChoice::Kind::SDL) {
        std::string device;
        {
            std::lock_guard lock(d.mutex);
            if (!d.choice_from_environment)
                device = d.input_device;
        }
        auto live = wave_backend::open_sdl_input(format, *input, device, error);
        if (!live) {
            report(error);
            return MMSYSERR_NODRIVER;
        }
        input->attach(std::move(live));
    } else {
        auto recorded = wave_backend::open_file_input(choice.path, choice.fast, format, error);
        if (!recorded) {
            report(error);
            return MMSYSERR_NODRIVER;
        }
        input->attach(std::move(recorded));
    }
    {
        std::lock_guard lock(d.mutex);
        d.inputs.emplace(new_handle, input);
    }
    handle = new_handle;
    input->notify(MM_WIM_OPEN);
    return MMSYSERR_NOERROR;
}

uint32_t wave_in_prepare_header(WaveHandle handle, WaveBlock& block)
{
    auto input = find_input(handle);
    return input ? input->prepare(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_unprepare_header(WaveHandle handle, WaveBlock& block)
{
    auto input = find_input(handle);
    return input ? input->unprepare(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_add_buffer(WaveHandle handle, WaveBlock& block)
{
    auto input = find_input(handle);
    return input ? input->add(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_start(WaveHandle handle)
{
    auto input = find_input(handle);
    return input ? input->start() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_stop(WaveHandle handle)
{
    auto input = find_input(handle);
    return input ? input->stop() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_reset(WaveHandle handle)
{
    auto input = find_input(handle);
    return input ? input->reset() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_in_close(WaveHandle handle)
{
    auto input = find_input(handle);
    if (!input)
        return MMSYSERR_INVALHANDLE;
    if (!input->close())
        return WAVERR_STILLPLAYING;
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    d.inputs.erase(handle);
    return MMSYSERR_NOERROR;
}

std::vector<std::string> wave_input_devices()
{
    return wave_backend::sdl_input_devices();
}

void set_wave_input_device(std::string const& name)
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    d.input_device = name;
}

void select_wave_input(std::string const& choice)
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    d.choice = wave_backend::parse_choice(choice);
    d.choice_read = true;
}

bool wave_input_ended()
{
    return wave_input_wait_end(0);
}

bool wave_input_wait_end(uint32_t milliseconds)
{
    auto& ending = devices().ending;
    std::unique_lock lock(ending.mutex);
    return ending.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return ending.ended; });
}

} // namespace platform
