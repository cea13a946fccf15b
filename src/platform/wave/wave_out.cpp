// The wave-output devices: blocks written by the caller are played in order, on SDL's audio thread or
// into a WAV file by a pump thread, and come back done with MM_WOM_DONE.
#include "wave.h"
#include "wave_backend.h"
#include "wave_device.h"
#include <platform/riff.h>
#include <platform/text.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
using wave_backend::Choice;
using wave_backend::Direction;
using wave_backend::report;

constexpr uint32_t HEARD_AFTER_MS = 150;
constexpr uint32_t FULL_VOLUME = 0xFFFFFFFFu;
// A beep longer than this is not a beep; the rest of such a file is not played.
constexpr uint64_t MAX_SOUND_BYTES = 16u << 20;

class OutputDevice final : public wave_backend::DeviceCore, public wave_backend::PlaybackSource {
public:
    OutputDevice(WaveHandle handle, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
        : DeviceCore(Direction::OUTPUT, handle, format, thread_id, flags)
    {
    }

    ~OutputDevice() override { shut_down(); }

    // Backends are attached before the device is published.
    void attach(std::unique_ptr<wave_backend::LiveOutput> live)
    {
        live_ = std::move(live);
        live_output_ = true;
    }
    void attach(std::unique_ptr<wave_backend::RecordedOutput> recorded, bool fast)
    {
        recorded_ = std::move(recorded);
        fast_ = fast;
        pump_thread_ = std::thread([this] { pump(); });
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
            taken_ = 0;
            last_render_ = 0;
        }
        changed_.notify_all();
        return MMSYSERR_NOERROR;
    }

    // False while blocks are queued. The end of what was played is heard before the device closes.
    bool close()
    {
        if (!queue_empty())
            return false;
        wait_heard();
        shut_down();
        notify_close();
        return true;
    }

    // Bytes played since the open or the last reset. What a live device took in its last callback is
    // still being heard: it counts as the time since that callback covers it.
    uint64_t position()
    {
        std::lock_guard lock(mutex_);
        if (!live_output_ || last_render_ == 0)
            return taken_;
        uint64_t const align = std::max<uint32_t>(format_.block_align, 1);
        uint64_t const heard = frames_due(rendered_at_, Clock::now()) * align;
        return taken_ - last_render_ + std::min(last_render_, heard);
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
        wait_heard();
    }

    // SDL's audio thread: every queued block comes back, and later writes are refused.
    void lost() override
    {
        {
            std::lock_guard lock(mutex_);
            offset_ = 0;
            lose_locked();
        }
        report("the speaker went away");
    }

    // SDL's audio thread: the queued blocks in order, silence when paused or when there is nothing.
    void render(uint8_t* out, size_t count) override
    {
        std::lock_guard lock(mutex_);
        uint64_t const before = taken_;
        while (count > 0 && !paused_ && !queue_.empty()) {
            size_t const n = take_locked(out, count);
            out += n;
            count -= n;
        }
        last_render_ = taken_ - before;
        rendered_at_ = Clock::now();
        std::memset(out, format_.bits_per_sample == 8 ? 128 : 0, count);
        silent_callbacks_ = last_render_ > 0 ? 0 : silent_callbacks_ + 1;
        callback_bytes_ = std::max<uint64_t>(callback_bytes_, last_render_ + count);
        if (silent_callbacks_ > 0)
            changed_.notify_all();
    }

private:
    // Closing the device drops what the sound server still holds: up to a tenth of a second of a
    // playback's end went unheard. A callback asks for more once the previous one has been passed on, so
    // silence counts from the second silent callback, until the server has been given HEARD_AFTER_MS of
    // it. It comes as fast as the server takes it: a busy machine waits longer, a stalled one a second.
    void wait_heard()
    {
        if (!live_)
            return;
        std::unique_lock lock(mutex_);
        auto heard = [this] {
            if (lost_ || taken_ == 0)
                return true;
            uint64_t const silence = silent_callbacks_ < 2 ? 0 : (silent_callbacks_ - 1) * callback_bytes_;
            return silence * 1000 >= uint64_t { HEARD_AFTER_MS } * std::max<uint32_t>(format_.avg_bytes_per_sec, 1);
        };
        changed_.wait_for(lock, std::chrono::seconds(1), heard);
    }

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
        taken_ += n;
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
                riff::put_s16(bytes + i, static_cast<int16_t>(riff::s16(bytes + i) * gain[channel] / 0xFFFF));
            }
        }
    }

    // A played block comes back whole.
    void complete_front_locked()
    {
        offset_ = 0;
        queue_.front()->bytes_recorded.store(queue_.front()->buffer_length, std::memory_order_relaxed);
        finish_front_locked();
        changed_.notify_all();
    }

    // Writes the queued blocks to the file backend, in real time or as fast as they come.
    void pump()
    {
        std::unique_lock lock(mutex_);
        while (!closing_) {
            if (paused_ || queue_.empty()) {
                clock_running_ = false;
                changed_.wait(lock);
                continue;
            }
            size_t const want = fast_ ? SIZE_MAX : bytes_due_locked();
            if (want == 0)
                changed_.wait_until(lock, Clock::now() + wave_backend::REAL_TIME_SLICE);
            else
                write_locked(want);
        }
    }

    // In real time: the bytes of the frames due since playing (re)started.
    size_t bytes_due_locked()
    {
        auto const now = Clock::now();
        if (!clock_running_) {
            clock_running_ = true;
            clock_start_ = now;
            frames_played_ = 0;
        }
        uint64_t const due = frames_due(clock_start_, now);
        if (due <= frames_played_)
            return 0;
        size_t const want = static_cast<size_t>(due - frames_played_) * std::max<uint32_t>(format_.block_align, 1);
        frames_played_ = due;
        return want;
    }

    // Up to `want` bytes of the queued blocks into the file.
    void write_locked(size_t want)
    {
        while (want > 0 && !queue_.empty()) {
            WaveBlock const* block = queue_.front();
            scratch_.resize(std::max<size_t>(std::min<size_t>(want, block->buffer_length - offset_), 1));
            size_t const n = take_locked(scratch_.data(), std::min(want, scratch_.size()));
            if (n > 0)
                recorded_->write(scratch_.data(), n);
            want -= n;
        }
    }

    // Under the core's lock.
    size_t offset_ = 0; // bytes of the front block played
    uint64_t taken_ = 0; // bytes of blocks played since the open or the last reset
    uint64_t last_render_ = 0; // of those, what the live device's last callback took
    uint64_t silent_callbacks_ = 0; // the live device's callbacks since the last that took a byte
    uint64_t callback_bytes_ = 0; // the most one callback asked for
    Clock::time_point rendered_at_;
    bool live_output_ = false;
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

struct Outputs {
    wave_backend::DeviceTable<OutputDevice> table { 0x7100 };
    wave_backend::BackendChoice choice { Direction::OUTPUT };
    std::mutex mutex; // the two below
    std::shared_ptr<wave_backend::OutputFile> file; // of a file choice, from its first open
    std::string device_name;
};

Outputs& outputs()
{
    static auto* instance = new Outputs; // outlives devices closed while the process ends
    return *instance;
}

// Whether a backend that cannot start says so on standard error.
enum class Failure { REPORTED, SILENT };

// A device on the chosen backend, not yet published; none on failure, with what open answers in `error`.
std::shared_ptr<OutputDevice> make_device(
    WaveFormat const& format, uint32_t thread_id, uint32_t flags, uint32_t& error, Failure failure)
{
    auto& out = outputs();
    Choice const choice = out.choice.current();
    error = out.choice.usable(choice);
    if (error != MMSYSERR_NOERROR)
        return nullptr;
    error = MMSYSERR_NODRIVER;
    std::shared_ptr<wave_backend::OutputFile> file;
    std::string problem;
    if (choice.kind == Choice::Kind::FILE) {
        std::lock_guard lock(out.mutex);
        if (!out.file)
            out.file = wave_backend::create_output_file(choice.path, problem);
        file = out.file;
    }
    std::string device_name;
    {
        std::lock_guard lock(out.mutex);
        if (!out.choice.named_by_environment())
            device_name = out.device_name;
    }
    auto device = std::make_shared<OutputDevice>(out.table.new_handle(), format, thread_id, flags);
    if (choice.kind == Choice::Kind::SDL) {
        auto live = wave_backend::open_sdl_output(format, *device, device_name, problem);
        if (!live) {
            if (failure == Failure::REPORTED)
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
        ok = wave_backend::valid_format(format, Direction::OUTPUT) && layout.block_align == format.block_align;
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
    uint32_t error = wave_backend::check_open(device, flags, format, Direction::OUTPUT);
    if (error != MMSYSERR_NOERROR)
        return error;
    auto output = make_device(format, thread_id, flags, error, Failure::REPORTED);
    if (!output)
        return error;
    outputs().table.publish(output);
    handle = output->handle();
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_prepare_header(WaveHandle handle, WaveBlock& block)
{
    return outputs().table.with(handle, [&](OutputDevice& output) { return output.prepare(block); });
}

uint32_t wave_out_unprepare_header(WaveHandle handle, WaveBlock& block)
{
    return outputs().table.with(handle, [&](OutputDevice& output) { return output.unprepare(block); });
}

uint32_t wave_out_write(WaveHandle handle, WaveBlock& block)
{
    return outputs().table.with(handle, [&](OutputDevice& output) { return output.enqueue(block); });
}

uint32_t wave_out_pause(WaveHandle handle)
{
    return outputs().table.with(handle, [](OutputDevice& output) { return output.pause(); });
}

uint32_t wave_out_restart(WaveHandle handle)
{
    return outputs().table.with(handle, [](OutputDevice& output) { return output.restart(); });
}

uint32_t wave_out_reset(WaveHandle handle)
{
    return outputs().table.with(handle, [](OutputDevice& output) { return output.reset(); });
}

uint32_t wave_out_close(WaveHandle handle)
{
    return outputs().table.close(handle);
}

uint32_t wave_out_set_volume(WaveHandle handle, uint32_t volume)
{
    return outputs().table.with(handle, [&](OutputDevice& output) {
        output.set_volume(volume);
        return MMSYSERR_NOERROR;
    });
}

uint32_t wave_out_get_volume(WaveHandle handle, uint32_t& volume)
{
    return outputs().table.with(handle, [&](OutputDevice& output) {
        volume = output.volume();
        return MMSYSERR_NOERROR;
    });
}

uint32_t wave_out_get_position(WaveHandle handle, WaveTime& time)
{
    return outputs().table.with(handle, [&](OutputDevice& output) {
        time.value = output.position();
        WaveFormat const& format = output.format();
        if (time.type == TIME_SAMPLES)
            time.value /= std::max<uint16_t>(format.block_align, 1);
        else if (time.type == TIME_MS)
            time.value = time.value * 1000 / std::max<uint32_t>(format.avg_bytes_per_sec, 1);
        else
            time.type = TIME_BYTES;
        return MMSYSERR_NOERROR;
    });
}

uint32_t wave_out_get_num_devs()
{
    return outputs().choice.current().kind == Choice::Kind::NONE ? 0 : 1;
}

void set_wave_output_device(std::string const& name)
{
    auto& out = outputs();
    std::lock_guard lock(out.mutex);
    out.device_name = name;
}

void select_wave_output(std::string const& choice)
{
    auto& out = outputs();
    std::shared_ptr<wave_backend::OutputFile> previous;
    out.choice.select(choice);
    std::lock_guard lock(out.mutex);
    previous = std::move(out.file); // closed here, or by the last device still writing it
}

bool play_sound_file(std::u16string const& path)
{
    if (outputs().choice.current().kind == Choice::Kind::NONE)
        return false;
    WaveFormat format;
    std::vector<uint8_t> data;
    if (!read_sound(path, format, data) || data.empty())
        return false;
    uint32_t error = MMSYSERR_NOERROR;
    // A machine without a speaker records without its beeps: nothing to say about it.
    auto output = make_device(format, 0, CALLBACK_NULL, error, Failure::SILENT);
    if (!output)
        return false;
    WaveBlock block;
    block.data = data.data();
    block.buffer_length = static_cast<uint32_t>(data.size());
    if (output->prepare(block) != MMSYSERR_NOERROR || output->enqueue(block) != MMSYSERR_NOERROR)
        return false;
    output->wait_idle();
    return true;
}

} // namespace platform
