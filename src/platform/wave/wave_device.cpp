#include "wave_device.h"

#include <platform/messages.h>

#include <cstdio>
#include <cstdlib>

namespace platform::wave_backend {

namespace {

struct Messages {
    uint32_t open, done, close;
};

Messages messages_of(Direction direction)
{
    return direction == Direction::INPUT ? Messages { MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_CLOSE }
                                         : Messages { MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_CLOSE };
}

} // namespace

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

bool valid_format(WaveFormat const& f, Direction direction)
{
    // A speaker takes any rate the sound server can convert, so that a file of a rate below a
    // microphone's lowest still plays.
    uint32_t const lowest_rate = direction == Direction::INPUT ? 8000 : 1000;
    uint32_t const highest_rate = direction == Direction::INPUT ? 48000 : 192000;
    return f.format_tag == WAVE_FORMAT_PCM && (f.channels == 1 || f.channels == 2)
        && (f.bits_per_sample == 8 || f.bits_per_sample == 16) && f.samples_per_sec >= lowest_rate
        && f.samples_per_sec <= highest_rate && f.block_align == f.channels * f.bits_per_sample / 8
        && f.avg_bytes_per_sec == f.block_align * f.samples_per_sec;
}

uint32_t check_open(int device, uint32_t flags, WaveFormat const& format, Direction direction)
{
    if (device != WAVE_MAPPER && device != 0)
        return MMSYSERR_BADDEVICEID;
    uint32_t const kind = flags & ~WAVE_FORMAT_QUERY;
    if (kind != CALLBACK_NULL && kind != CALLBACK_THREAD)
        return MMSYSERR_INVALFLAG;
    if (!valid_format(format, direction))
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

BackendChoice::BackendChoice(Direction direction)
    : variable_(direction == Direction::INPUT ? "RAVELIN_AUDIO_IN" : "RAVELIN_AUDIO_OUT")
{
}

Choice BackendChoice::current()
{
    std::lock_guard lock(mutex_);
    if (!read_) {
        char const* value = std::getenv(variable_);
        choice_ = parse_choice(value ? value : "");
        named_by_environment_ = value && *value;
        read_ = true;
    }
    return choice_;
}

void BackendChoice::select(std::string const& text)
{
    std::lock_guard lock(mutex_);
    choice_ = parse_choice(text);
    read_ = true;
    named_by_environment_ = false;
}

bool BackendChoice::named_by_environment()
{
    std::lock_guard lock(mutex_);
    return named_by_environment_;
}

uint32_t BackendChoice::usable(Choice const& choice) const
{
    if (choice.kind == Choice::Kind::NONE)
        return MMSYSERR_BADDEVICEID;
    if (choice.kind == Choice::Kind::UNKNOWN) {
        report(std::string(variable_) + "=" + choice.text + " is none of sdl, file:PATH.wav[,fast] and none");
        return MMSYSERR_NODRIVER;
    }
    return MMSYSERR_NOERROR;
}

DeviceCore::DeviceCore(
    Direction direction, WaveHandle handle, WaveFormat const& format, uint32_t thread_id, uint32_t flags)
    : direction_(direction)
    , format_(format)
    , handle_(handle)
    , thread_id_(thread_id)
    , flags_(flags)
{
}

void DeviceCore::notify(uint32_t message, WaveBlock* block) const
{
    if (flags_ == CALLBACK_THREAD)
        post_thread_message(thread_id_, message, handle_, reinterpret_cast<intptr_t>(block));
}

void DeviceCore::notify_open() const
{
    notify(messages_of(direction_).open, nullptr);
}

void DeviceCore::notify_close() const
{
    notify(messages_of(direction_).close, nullptr);
}

uint32_t DeviceCore::prepare(WaveBlock& block)
{
    std::lock_guard lock(mutex_);
    if (block.flags.load() & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    if (!block.data || (direction_ == Direction::INPUT && block.buffer_length == 0))
        return MMSYSERR_INVALPARAM;
    block.flags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t DeviceCore::unprepare(WaveBlock& block)
{
    std::lock_guard lock(mutex_);
    if (block.flags.load() & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    block.flags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t DeviceCore::enqueue(WaveBlock& block)
{
    {
        std::lock_guard lock(mutex_);
        uint32_t const flags = block.flags.load();
        if (!(flags & WHDR_PREPARED))
            return WAVERR_UNPREPARED;
        if (flags & WHDR_INQUEUE)
            return WAVERR_STILLPLAYING;
        if (lost_)
            return MMSYSERR_NODRIVER;
        if (direction_ == Direction::INPUT)
            block.bytes_recorded.store(0);
        block.flags.store((flags & ~WHDR_DONE) | WHDR_INQUEUE);
        queue_.push_back(&block);
        queued_locked(block);
    }
    changed_.notify_all();
    return MMSYSERR_NOERROR;
}

WaveBlock* DeviceCore::finish_front_locked()
{
    WaveBlock* block = queue_.front();
    queue_.pop_front();
    uint32_t const flags = block->flags.load(std::memory_order_relaxed);
    block->flags.store((flags & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
    notify(messages_of(direction_).done, block);
    return block;
}

void DeviceCore::lose_locked()
{
    lost_ = true;
    while (!queue_.empty())
        finish_front_locked();
    changed_.notify_all();
}

bool DeviceCore::queue_empty()
{
    std::lock_guard lock(mutex_);
    return queue_.empty();
}

uint64_t DeviceCore::frames_due(
    std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point now) const
{
    auto const elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count();
    return static_cast<uint64_t>(elapsed) * format_.samples_per_sec / 1000000;
}

} // namespace platform::wave_backend
