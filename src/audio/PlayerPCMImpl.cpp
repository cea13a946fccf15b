#include "PlayerPCMImpl.h"

#include "PlayerPCM.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <platform/messages.h>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr uintptr_t IN_USE = 1;

} // namespace

PlayerPCMImpl::PlayerPCMImpl(PlayerPCM& owner, WaveOut& device)
    : owner_(owner)
    , device_(device)
{
    core::Thread::start();
}

PlayerPCMImpl::~PlayerPCMImpl()
{
    request_stop();
    post_command();
    join();
}

bool PlayerPCMImpl::post_command()
{
    return platform::post_thread_message(thread_id(), platform::WM_USER, 0, 0);
}

bool PlayerPCMImpl::play()
{
    ready_.wait();
    {
        core::Lock guard(owner_.lock());
        play_requested_ = true;
        pause_requested_ = false;
        finished_ = false;
        refusal_ = OutputRefusal::NONE;
    }
    return post_command();
}

bool PlayerPCMImpl::stop()
{
    ready_.wait();
    {
        core::Lock guard(owner_.lock());
        play_requested_ = false;
        pause_requested_ = false;
        finished_ = true;
        stop_requested_ = true;
    }
    return post_command();
}

bool PlayerPCMImpl::pause()
{
    ready_.wait();
    {
        core::Lock guard(owner_.lock());
        pause_requested_ = true;
    }
    return post_command();
}

bool PlayerPCMImpl::is_finished()
{
    core::Lock guard(owner_.lock());
    return finished_;
}

OutputRefusal PlayerPCMImpl::refusal()
{
    core::Lock guard(owner_.lock());
    return refusal_;
}

void PlayerPCMImpl::set_volume(double volume)
{
    core::Lock guard(owner_.lock());
    volume_ = std::clamp(volume, 0.0, 1.0);
    if (handle_)
        device_.set_volume(handle_, device_volume());
}

double PlayerPCMImpl::volume()
{
    core::Lock guard(owner_.lock());
    return volume_;
}

double PlayerPCMImpl::level(int channel)
{
    core::Lock guard(owner_.lock());
    return levels_[channel <= 0 ? 0 : 1];
}

double PlayerPCMImpl::queued_seconds()
{
    core::Lock guard(owner_.lock());
    int32_t const rate = pending_.format.samples_per_second;
    double const pending = rate > 0 ? static_cast<double>(pending_.frames()) / rate : 0.0;
    return pending + held_seconds();
}

double PlayerPCMImpl::held_seconds()
{
    int64_t const bytes_per_second = int64_t(device_format_.samples_per_second) * device_format_.frame_size();
    if (!handle_ || bytes_per_second <= 0)
        return 0.0;
    platform::WaveTime time;
    uint64_t held = 0;
    if (device_.get_position(handle_, time) == platform::MMSYSERR_NOERROR && time.type == platform::TIME_BYTES) {
        held = bytes_written_ - std::min(bytes_written_, time.value);
    } else {
        // A device that does not say where it is: the blocks it has not given back.
        for (auto const& block : blocks_)
            held += block.user == IN_USE ? block.buffer_length : 0;
    }
    return static_cast<double>(held) / static_cast<double>(bytes_per_second);
}

void PlayerPCMImpl::seek(std::function<void()> const& reposition)
{
    ready_.wait();
    {
        core::Lock guard(owner_.lock());
        reposition();
        pending_ = AudioBuffer();
        if (state_ != IDLE)
            reset_device();
        if (play_requested_) {
            // The blocks come back and are filled from the new place; a drained device closes and opens
            // again for it, and a playback that had ended plays on.
            sought_ = state_ == DRAINING;
            finished_ = false;
        }
    }
    post_command();
}

void PlayerPCMImpl::reset_device()
{
    if (!handle_)
        return;
    device_.reset(handle_);
    bytes_written_ = 0;
}

uint32_t PlayerPCMImpl::device_volume() const
{
    uint32_t const v = static_cast<uint32_t>(volume_ * 65535);
    return v | (v << 16);
}

void PlayerPCMImpl::run()
{
    set_priority(1);
    platform::Message message;
    platform::peek_message(message, 0, 0, 0, platform::Peek::KEEP); // makes the queue
    ready_.set();
    while (!stop_requested() && platform::get_message(message, 0, 0, 0) > 0) {
        if (stop_requested())
            break;
        core::Lock guard(owner_.lock());
        switch (message.message) {
        case platform::WM_USER:
            on_command();
            break;
        case platform::MM_WOM_OPEN:
            on_open(message.wparam);
            break;
        case platform::MM_WOM_DONE:
            on_done(message.wparam, reinterpret_cast<platform::WaveBlock*>(message.lparam));
            break;
        case platform::MM_WOM_CLOSE:
            on_close(message.wparam);
            break;
        default:
            break;
        }
    }
    core::Lock guard(owner_.lock());
    if (handle_) {
        device_.reset(handle_);
        device_.close(handle_);
        handle_ = 0;
    }
}

void PlayerPCMImpl::on_command()
{
    if (play_requested_ && stop_requested_) {
        stop_requested_ = false;
        if (state_ == DRAINING) {
            release_device();
            close_cleanup();
        }
    }
    if (play_requested_ && state_ == IDLE) {
        if (pending_.empty())
            pending_ = pull();
        if (!pending_.empty()) {
            device_format_ = pending_.format;
            state_ = PLAYING;
            open_device();
        } else if (!any_in_use()) {
            finished_ = true;
        }
    } else if (!play_requested_ && state_ == PLAYING) {
        state_ = DRAINING;
        reset_device();
        pending_ = AudioBuffer();
    }
    if (pause_requested_ && !paused_) {
        device_.pause(handle_);
        paused_ = true;
    } else if (!pause_requested_ && paused_) {
        device_.restart(handle_);
        paused_ = false;
    }
}

void PlayerPCMImpl::on_open(platform::WaveHandle handle)
{
    // A device released before its open message arrived says nothing about the current one.
    if (handle == 0 || handle != handle_)
        return;
    device_.set_volume(handle_, device_volume());
    continue_playing();
}

void PlayerPCMImpl::on_done(platform::WaveHandle handle, platform::WaveBlock* block)
{
    if (handle == 0 || handle != handle_)
        return;
    auto const it = std::find_if(blocks_.begin(), blocks_.end(), [&](auto const& b) { return &b == block; });
    if (it == blocks_.end() || it->user != IN_USE)
        return;
    it->user = 0;
    device_.unprepare_header(handle_, *it);
    compute_levels(*it);
    continue_playing();
}

void PlayerPCMImpl::on_close(platform::WaveHandle handle)
{
    if (handle == 0 || handle != handle_ || state_ != DRAINING)
        return;
    bool const sought = sought_;
    close_cleanup();
    // A device closed for a change of format opens again at once with the data kept: the playback has
    // not finished, and whoever polls must not take it for the end. Nor has it when this is the close of
    // a stopped device and a play asked for since waits for its command, nor after a seek.
    if (!(play_requested_ && (!pending_.empty() || stop_requested_ || sought)))
        finished_ = true;
}

void PlayerPCMImpl::continue_playing()
{
    if (state_ == PLAYING && !fill())
        state_ = DRAINING;
    if (state_ == DRAINING && !any_in_use())
        device_.close(handle_);
}

void PlayerPCMImpl::open_device()
{
    if (handle_)
        return;
    platform::WaveFormat format;
    format.format_tag = platform::WAVE_FORMAT_PCM;
    format.channels = static_cast<uint16_t>(device_format_.channels);
    format.samples_per_sec = static_cast<uint32_t>(device_format_.samples_per_second);
    format.bits_per_sample = static_cast<uint16_t>(device_format_.bits_per_sample);
    int32_t const block_align = device_format_.channels * device_format_.bits_per_sample / 8;
    format.block_align = static_cast<uint16_t>(block_align);
    format.avg_bytes_per_sec = static_cast<uint32_t>(block_align * device_format_.samples_per_second);

    int64_t const frames = int64_t(device_format_.samples_per_second) * BLOCK_MILLISECONDS / 1000;
    int64_t const size = frames * block_align;
    platform::WaveHandle handle = 0;
    uint32_t result = platform::WAVERR_BADFORMAT;
    if (size > 0 && size <= INT32_MAX)
        result = device_.open(handle, platform::WAVE_MAPPER, format, thread_id(), reinterpret_cast<uintptr_t>(this));
    if (result != platform::MMSYSERR_NOERROR) {
        // No device message would ever come: the playback ends here instead of waiting for good, and a
        // later play tries again with the data still pending.
        state_ = IDLE;
        device_format_ = AudioFormat();
        finished_ = true;
        refusal_ = result == platform::WAVERR_BADFORMAT ? OutputRefusal::FORMAT : OutputRefusal::NO_DEVICE;
        return;
    }
    handle_ = handle;
    if (size != block_size_) {
        block_size_ = static_cast<int32_t>(size);
        for (auto& data : data_)
            data = std::make_unique<uint8_t[]>(static_cast<size_t>(block_size_));
    }
    for (size_t i = 0; i < blocks_.size(); ++i) {
        blocks_[i].data = data_[i].get();
        blocks_[i].user = 0;
    }
    frames_pulled_ = 0;
    bytes_written_ = 0;
}

bool PlayerPCMImpl::fill()
{
    for (size_t i = 0; i < blocks_.size(); ++i) {
        platform::WaveBlock& block = blocks_[i];
        if (block.user == IN_USE)
            continue;
        uint32_t bytes = 0;
        size_t need = static_cast<size_t>(block_size_);
        while (need > 0) {
            size_t const n = std::min(need, pending_.length());
            if (n > 0)
                std::memcpy(data_[i].get() + bytes, pending_.data.data(), n);
            bytes += static_cast<uint32_t>(n);
            need -= n;
            pending_.data = core::SharedBuffer(pending_.data, n, pending_.length() - n);
            if (pending_.empty()) {
                pending_ = pull();
                if (pending_.empty() || pending_.format != device_format_)
                    break;
            }
        }
        block.buffer_length = bytes;
        block.user = IN_USE;
        if (device_.prepare_header(handle_, block) != platform::MMSYSERR_NOERROR
            || device_.write(handle_, block) != platform::MMSYSERR_NOERROR) {
            // A block the device did not take never comes back: counting it in use would keep the
            // device from ever closing. A device that takes no block (one that went away) will play
            // nothing more: the playback ends once it is closed, rather than opening it again for the rest,
            // and says why.
            device_.unprepare_header(handle_, block);
            block.user = 0;
            play_requested_ = false;
            refusal_ = OutputRefusal::NO_DEVICE;
            pending_ = AudioBuffer();
            return false;
        }
        bytes_written_ += bytes;
        if (need > 0)
            return false;
    }
    return true;
}

void PlayerPCMImpl::release_device()
{
    if (!handle_)
        return;
    reset_device();
    for (auto& block : blocks_) {
        if (block.user == IN_USE) {
            device_.unprepare_header(handle_, block);
            block.user = 0;
        }
    }
    device_.close(handle_);
}

void PlayerPCMImpl::close_cleanup()
{
    for (auto& block : blocks_) {
        if (block.user == IN_USE) {
            device_.unprepare_header(handle_, block);
            block.user = 0;
        }
    }
    state_ = IDLE;
    frames_pulled_ = 0;
    bytes_written_ = 0;
    sought_ = false;
    levels_ = { 0.0, 0.0 };
    device_format_ = AudioFormat();
    handle_ = 0;
    post_command();
}

void PlayerPCMImpl::compute_levels(platform::WaveBlock const& block)
{
    int32_t const channels = device_format_.channels;
    int32_t const bits = device_format_.bits_per_sample;
    int32_t const frame = bits * channels / 8;
    if ((bits != 8 && bits != 16) || channels < 1 || frame <= 0) {
        levels_ = { 0.0, 0.0 };
        return;
    }
    size_t const frames = block.buffer_length / static_cast<uint32_t>(frame);
    size_t const bytes_per_sample = static_cast<size_t>(bits / 8);
    for (int32_t c = 0; c < std::min(channels, 2); ++c) {
        double peak = 0.0;
        for (size_t f = 0; f < frames; ++f) {
            uint8_t const* p = block.data + f * static_cast<size_t>(frame) + static_cast<size_t>(c) * bytes_per_sample;
            double const v = bits == 16 ? std::abs(static_cast<double>(platform::riff::s16(p))) * (1.0 / 32768)
                                        : std::abs(static_cast<double>(p[0]) - 128) * (1.0 / 128);
            peak = std::max(peak, v);
        }
        levels_[static_cast<size_t>(c)] = peak;
    }
    if (channels == 1)
        levels_[1] = levels_[0];
}

AudioBuffer PlayerPCMImpl::pull()
{
    AudioBuffer buffer = pull_upstream(owner_, PULL_FRAMES);
    frames_pulled_ += static_cast<int64_t>(buffer.frames());
    return buffer;
}

bool PlayerPCMImpl::any_in_use() const
{
    return std::any_of(blocks_.begin(), blocks_.end(), [](auto const& b) { return b.user == IN_USE; });
}

} // namespace audio
