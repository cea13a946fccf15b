// The wave-output devices: blocks written by the caller are played in order, on SDL's audio thread or
// into a WAV file by a pump thread, and come back done with MM_WOM_DONE.
#include "wave.h"
#include "wave_backend.h"
#include <platform/messages.h>
#include <platform/text.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using wave_backend::Choice;
using wave_backend::report;

// A real-time file output is written in slices of this length.
constexpr auto REAL_TIME_SLICE = std::chrono::milliseconds(10);
constexpr uint32_t FULL_VOLUME = 0xFFFFFFFFu;
// A beep longer than this is not a beep; the rest of such a file is not played.
constexpr uint64_t MAX_SOUND_BYTES = 16u << 20;

class OutputDevice final : public wave_backend::PlaybackSource {
public:
    OutputDevice(WaveHandle handle, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
        : handle_(handle)
        , format_(format)
        , thread_id_(thread_id)
        , flags_(flags)
    {
    }

    ~OutputDevice() { shut_down(); }

    WaveHandle handle() const { return handle_; }

    // Backends are attached before the device is published.
    void attach(std::unique_ptr<wave_backend::LiveOutput> live) { live_ = std::move(live); }
    void attach(std::unique_ptr<wave_backend::RecordedOutput> recorded, bool fast)
    {
        recorded_ = std::move(recorded);
        fast_ = fast;
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
        if (!block.data)
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

    uint32_t write(WaveBlock& block)
    {
        {
            std::lock_guard lock(mutex_);
            uint32_t const flags = block.flags.load();
            if (!(flags & WHDR_PREPARED))
                return WAVERR_UNPREPARED;
            if (flags & WHDR_INQUEUE)
                return WAVERR_STILLPLAYING;
            block.flags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
            queue_.push_back(&block);
        }
        changed_.notify_all();
        return MMSYSERR_NOERROR;
    }

    uint32_t pause()
    {
        std::lock_guard lock(mutex_);
        paused_ = true;
        return MMSYSERR_NOERROR;
    }

    uint32_t restart()
    {
        {
            std::lock_guard lock(mutex_);
            paused_ = false;
            clock_running_ = false;
        }
        changed_.notify_all();
        return MMSYSERR_NOERROR;
    }

    uint32_t reset()
    {
        {
            std::lock_guard lock(mutex_);
            while (!queue_.empty())
                complete_front_locked();
        }
        changed_.notify_all();
        return MMSYSERR_NOERROR;
    }

    // False while blocks are queued.
    bool close()
    {
        {
            std::lock_guard lock(mutex_);
            if (!queue_.empty())
                return false;
        }
        shut_down();
        notify(MM_WOM_CLOSE);
        return true;
    }

    void set_volume(uint32_t volume) { volume_.store(volume); }
    uint32_t volume() const { return volume_.load(); }

    // Waits until every written block has been played (or returned by reset).
    void wait_idle()
    {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return queue_.empty(); });
        }
        if (live_)
            live_->drain();
    }

    // SDL's audio thread: the queued blocks in order, silence when paused or when there is nothing.
    void render(uint8_t* out, size_t count) override
    {
        std::lock_guard lock(mutex_);
        while (count > 0 && !paused_ && !queue_.empty()) {
            size_t const n = take_locked(out, count);
            out += n;
            count -= n;
        }
        std::memset(out, format_.bits_per_sample == 8 ? 128 : 0, count);
    }

private:
    void shut_down()
    {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        if (pump_thread_.joinable())
            pump_thread_.join();
        // Closing SDL's device waits for a callback that may be waiting for our lock: not under it.
        live_.reset();
        recorded_.reset();
    }

    // Copies up to `count` bytes of the front block with the volume applied; a block played to its end
    // comes back done. An empty block comes back at once.
    size_t take_locked(uint8_t* out, size_t count)
    {
        WaveBlock* block = queue_.front();
        size_t const n = std::min<size_t>(count, block->buffer_length - offset_);
        if (n > 0) {
            std::memcpy(out, block->data + offset_, n);
            apply_volume(out, n, offset_);
        }
        offset_ += n;
        if (offset_ >= block->buffer_length)
            complete_front_locked();
        return n;
    }

    // `position` is where the bytes start in their block: blocks hold whole frames, so it tells the channel.
    void apply_volume(uint8_t* bytes, size_t count, size_t position) const
    {
        uint32_t const volume = volume_.load();
        if (volume == FULL_VOLUME)
            return;
        int64_t const gain[2] = { volume & 0xFFFF, format_.channels == 2 ? volume >> 16 : volume & 0xFFFF };
        size_t const size = format_.bits_per_sample / 8;
        for (size_t i = 0; i + size <= count; i += size) {
            size_t const channel = ((position + i) / size) % format_.channels;
            if (size == 1) {
                int64_t const v = (int64_t(bytes[i]) - 128) * gain[channel] / 0xFFFF;
                bytes[i] = static_cast<uint8_t>(v + 128);
            } else {
                int64_t const s = static_cast<int16_t>(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
                int64_t const v = s * gain[channel] / 0xFFFF;
                bytes[i] = static_cast<uint8_t>(v & 0xFF);
                bytes[i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
            }
        }
    }

    // The done flag is set last: whoever sees it may reuse the block.
    void complete_front_locked()
    {
        WaveBlock* block = queue_.front();
        queue_.pop_front();
        offset_ = 0;
        block->bytes_recorded.store(block->buffer_length, std::memory_order_relaxed);
        uint32_t const flags = block->flags.load(std::memory_order_relaxed);
        block->flags.store((flags & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
        notify(MM_WOM_DONE, block);
        changed_.notify_all();
    }

    // Writes the queued blocks to the file backend, in real time or as fast as they come.
    void pump()
    {
        std::unique_lock lock(mutex_);
        uint32_t const align = std::max<uint32_t>(format_.block_align, 1);
        while (!closing_) {
            if (paused_ || queue_.empty()) {
                clock_running_ = false;
                changed_.wait(lock);
                continue;
            }
            size_t want = SIZE_MAX;
            if (!fast_) {
                auto const now = Clock::now();
                if (!clock_running_) {
                    clock_running_ = true;
                    clock_start_ = now;
                    frames_played_ = 0;
                }
                auto const elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - clock_start_).count();
                uint64_t const due = static_cast<uint64_t>(elapsed) * format_.samples_per_sec / 1000000;
                if (due <= frames_played_) {
                    changed_.wait_until(lock, now + REAL_TIME_SLICE);
                    continue;
                }
                want = static_cast<size_t>(due - frames_played_) * align;
                frames_played_ = due;
            }
            while (want > 0 && !queue_.empty()) {
                WaveBlock const* block = queue_.front();
                scratch_.resize(std::max<size_t>(std::min<size_t>(want, block->buffer_length - offset_), 1));
                size_t const n = take_locked(scratch_.data(), std::min(want, scratch_.size()));
                if (n > 0)
                    recorded_->write(scratch_.data(), n);
                want -= n;
            }
        }
    }

    WaveHandle const handle_;
    WaveFormat const format_;
    uint32_t const thread_id_;
    uint32_t const flags_;

    std::mutex mutex_; // the queue and the state below
    std::condition_variable changed_;
    std::deque<WaveBlock*> queue_;
    size_t offset_ = 0; // bytes of the front block played
    bool paused_ = false;
    bool closing_ = false;
    std::atomic<uint32_t> volume_ { FULL_VOLUME };

    bool fast_ = false;
    bool clock_running_ = false;
    Clock::time_point clock_start_;
    uint64_t frames_played_ = 0;
    std::vector<uint8_t> scratch_;

    std::unique_ptr<wave_backend::LiveOutput> live_;
    std::unique_ptr<wave_backend::RecordedOutput> recorded_;
    std::thread pump_thread_;
};

struct Devices {
    std::mutex mutex;
    std::map<WaveHandle, std::shared_ptr<OutputDevice>> outputs;
    WaveHandle next_handle = 0x7100;
    bool choice_read = false;
    Choice choice;
    std::shared_ptr<wave_backend::OutputFile> file; // of a file choice, from its first open
};

Devices& devices()
{
    static auto* instance = new Devices; // outlives devices closed while the process ends
    return *instance;
}

std::shared_ptr<OutputDevice> find_output(WaveHandle handle)
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    auto it = d.outputs.find(handle);
    return it == d.outputs.end() ? nullptr : it->second;
}

Choice current_choice()
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    if (!d.choice_read) {
        char const* value = std::getenv("RAVELIN_AUDIO_OUT");
        d.choice = wave_backend::parse_choice(value ? value : "");
        d.choice_read = true;
    }
    return d.choice;
}

bool valid_format(WaveFormat const& f)
{
    return f.format_tag == WAVE_FORMAT_PCM && (f.channels == 1 || f.channels == 2)
        && (f.bits_per_sample == 8 || f.bits_per_sample == 16) && f.samples_per_sec >= 8000
        && f.samples_per_sec <= 192000 && f.block_align == f.channels * f.bits_per_sample / 8
        && f.avg_bytes_per_sec == f.block_align * f.samples_per_sec;
}

// A device on the chosen backend, not yet published; none (and, unless `quiet`, a line on standard error
// when the backend cannot start) on failure.
std::shared_ptr<OutputDevice> make_device(
    WaveFormat const& format, uint32_t thread_id, uint32_t flags, uint32_t& error, bool quiet = false)
{
    Choice const choice = current_choice();
    if (choice.kind == Choice::Kind::NONE) {
        error = MMSYSERR_BADDEVICEID;
        return nullptr;
    }
    error = MMSYSERR_NODRIVER;
    if (choice.kind == Choice::Kind::UNKNOWN) {
        report("RAVELIN_AUDIO_OUT=" + choice.text + " is none of sdl, file:PATH.wav[,fast] and none");
        return nullptr;
    }
    auto& d = devices();
    WaveHandle handle = 0;
    std::shared_ptr<wave_backend::OutputFile> file;
    std::string problem;
    {
        std::lock_guard lock(d.mutex);
        handle = d.next_handle++;
        if (choice.kind == Choice::Kind::FILE) {
            if (!d.file)
                d.file = wave_backend::create_output_file(choice.path, problem);
            file = d.file;
        }
    }
    auto device = std::make_shared<OutputDevice>(handle, format, thread_id, flags);
    if (choice.kind == Choice::Kind::SDL) {
        auto live = wave_backend::open_sdl_output(format, *device, problem);
        if (!live) {
            if (!quiet)
                report(problem);
            return nullptr;
        }
        device->attach(std::move(live));
    } else {
        if (!file) {
            report(problem);
            return nullptr;
        }
        device->attach(wave_backend::open_file_output(std::move(file), format), choice.fast);
    }
    error = MMSYSERR_NOERROR;
    return device;
}

void publish(std::shared_ptr<OutputDevice> const& device)
{
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    d.outputs.emplace(device->handle(), device);
}

// A PCM WAV file that a device can play, read whole (up to a beep's length).
bool read_sound(std::u16string const& path, WaveFormat& format, std::vector<uint8_t>& data)
{
    std::FILE* file = std::fopen(to_utf8(path).c_str(), "rb");
    if (!file)
        return false;
    wave_backend::WavLayout layout;
    std::string why;
    bool ok = wave_backend::read_wav_layout(file, layout, why) && layout.tag == WAVE_FORMAT_PCM;
    if (ok) {
        format.channels = layout.channels;
        format.samples_per_sec = layout.rate;
        format.bits_per_sample = layout.bits;
        format.block_align = static_cast<uint16_t>(layout.channels * layout.bits / 8);
        format.avg_bytes_per_sec = format.block_align * layout.rate;
        ok = valid_format(format) && layout.block_align == format.block_align;
    }
    if (ok) {
        uint64_t const size = std::min(layout.data_size, MAX_SOUND_BYTES) / format.block_align * format.block_align;
        data.resize(static_cast<size_t>(size));
        ok = std::fseek(file, static_cast<long>(layout.data_offset), SEEK_SET) == 0
            && std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return ok;
}

} // namespace

uint32_t wave_out_open(
    WaveHandle& handle, int device, WaveFormat const& format, uint32_t thread_id, uintptr_t, uint32_t flags)
{
    handle = 0;
    if (device != WAVE_MAPPER && device != 0)
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL && flags != CALLBACK_THREAD)
        return MMSYSERR_INVALFLAG;
    if (!valid_format(format))
        return WAVERR_BADFORMAT;
    uint32_t error = MMSYSERR_NOERROR;
    auto output = make_device(format, thread_id, flags, error);
    if (!output)
        return error;
    publish(output);
    handle = output->handle();
    output->notify(MM_WOM_OPEN);
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_prepare_header(WaveHandle handle, WaveBlock& block)
{
    auto output = find_output(handle);
    return output ? output->prepare(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_unprepare_header(WaveHandle handle, WaveBlock& block)
{
    auto output = find_output(handle);
    return output ? output->unprepare(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_write(WaveHandle handle, WaveBlock& block)
{
    auto output = find_output(handle);
    return output ? output->write(block) : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_pause(WaveHandle handle)
{
    auto output = find_output(handle);
    return output ? output->pause() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_restart(WaveHandle handle)
{
    auto output = find_output(handle);
    return output ? output->restart() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_reset(WaveHandle handle)
{
    auto output = find_output(handle);
    return output ? output->reset() : MMSYSERR_INVALHANDLE;
}

uint32_t wave_out_close(WaveHandle handle)
{
    auto output = find_output(handle);
    if (!output)
        return MMSYSERR_INVALHANDLE;
    if (!output->close())
        return WAVERR_STILLPLAYING;
    auto& d = devices();
    std::lock_guard lock(d.mutex);
    d.outputs.erase(handle);
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_set_volume(WaveHandle handle, uint32_t volume)
{
    auto output = find_output(handle);
    if (!output)
        return MMSYSERR_INVALHANDLE;
    output->set_volume(volume);
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_get_volume(WaveHandle handle, uint32_t& volume)
{
    auto output = find_output(handle);
    if (!output)
        return MMSYSERR_INVALHANDLE;
    volume = output->volume();
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_get_num_devs()
{
    return current_choice().kind == Choice::Kind::NONE ? 0 : 1;
}

void select_wave_output(std::string const& choice)
{
    auto& d = devices();
    std::shared_ptr<wave_backend::OutputFile> previous;
    {
        std::lock_guard lock(d.mutex);
        d.choice = wave_backend::parse_choice(choice);
        d.choice_read = true;
        previous = std::move(d.file); // closed here, or by the last device still writing it
    }
}

bool play_sound_file(std::u16string const& path)
{
    if (current_choice().kind == Choice::Kind::NONE)
        return false;
    WaveFormat format;
    std::vector<uint8_t> data;
    if (!read_sound(path, format, data) || data.empty())
        return false;
    uint32_t error = MMSYSERR_NOERROR;
    // A machine without a speaker records without its beeps: nothing to say about it.
    auto output = make_device(format, 0, CALLBACK_NULL, error, true);
    if (!output)
        return false;
    WaveBlock block;
    block.data = data.data();
    block.buffer_length = static_cast<uint32_t>(data.size());
    if (output->prepare(block) != MMSYSERR_NOERROR || output->write(block) != MMSYSERR_NOERROR)
        return false;
    output->wait_idle();
    return true;
}

} // namespace platform
