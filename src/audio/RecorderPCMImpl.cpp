#include "RecorderPCMImpl.h"

#include "AudioProducer.h"
#include "RecorderPCM.h"

#include <algorithm>
#include <core/Log.h>
#include <optional>
#include <platform/messages.h>
#include <platform/ticks.h>

namespace audio {

namespace {

// Posted to the worker only to end its wait.
constexpr uint32_t WAKE_MESSAGE = platform::WM_USER;

} // namespace

platform::WaveFormat RecorderPCMImpl::device_format(
    int32_t channels, int32_t samples_per_second, int32_t bits_per_sample)
{
    int32_t const block_align = channels * ((bits_per_sample + 7) / 8);
    platform::WaveFormat format;
    format.format_tag = platform::WAVE_FORMAT_PCM;
    format.channels = static_cast<uint16_t>(channels);
    format.samples_per_sec = static_cast<uint32_t>(samples_per_second);
    format.bits_per_sample = static_cast<uint16_t>(bits_per_sample);
    format.block_align = static_cast<uint16_t>(block_align);
    format.avg_bytes_per_sec = static_cast<uint32_t>(block_align * samples_per_second);
    format.extra_size = 0;
    return format;
}

RecorderPCMImpl::RecorderPCMImpl(int32_t channels, int32_t samples_per_second, int32_t bits_per_sample,
    RecorderPCM& owner, WaveIn& device, int device_id)
    : owner_(owner)
    , device_(device)
    , format_ { channels, bits_per_sample, samples_per_second }
    , wave_format_(device_format(channels, samples_per_second, bits_per_sample))
{
    int32_t const block_align = channels * ((bits_per_sample + 7) / 8);

    int64_t const frames = int64_t(samples_per_second) * BLOCK_MILLISECONDS / 1000;
    block_size_ = static_cast<int32_t>(std::max<int64_t>(frames * block_align, 0) & ~int64_t(1));
    for (int i = 0; i < BUFFER_COUNT; ++i)
        data_[i] = std::make_unique<uint8_t[]>(static_cast<size_t>(block_size_));

    core::Thread::start();

    // Under the lock: the worker must not see the device's open message before the handle is stored.
    core::Lock guard(lock_);
    platform::WaveHandle handle = 0;
    uint32_t const result
        = device_.open(handle, device_id, wave_format_, thread_id(), reinterpret_cast<uintptr_t>(this));
    handle_ = result == platform::MMSYSERR_NOERROR ? handle : 0;
    fast_ = handle_ != 0 && device_.is_fast(handle_);
    core::log() << "waveInOpen handle=" << handle_ << "\n";
    if (result != platform::MMSYSERR_NOERROR) {
        state_ = FINISHED;
        core::log() << "recorder bad open!!!!! waveInOpen=" << result << "\n";
    }
}

RecorderPCMImpl::~RecorderPCMImpl()
{
    core::log() << "recorder ~RecorderPCMImpl " << platform::tick_count() << "\n";
    {
        core::Lock guard(lock_);
        state_ = FINISHED;
        if (handle_) {
            uint32_t result = device_.reset(handle_);
            if (result != platform::MMSYSERR_NOERROR)
                core::log() << "recorder bad reset!!!!! waveInReset=" << result << "\n";
            result = device_.close(handle_);
            if (result != platform::MMSYSERR_NOERROR)
                core::log() << "recorder bad close!!!!! waveInClose=" << result << "\n";
            else
                handle_ = 0;
        }
    }
    request_stop();
    wake();
    join();
}

void RecorderPCMImpl::wake()
{
    platform::post_thread_message(thread_id(), WAKE_MESSAGE, 0, 0);
}

void RecorderPCMImpl::set_room_wait(std::function<bool(uint32_t)> wait)
{
    core::Lock guard(lock_);
    room_wait_ = std::move(wait);
}

bool RecorderPCMImpl::start()
{
    core::Lock guard(lock_);
    start_requested_ = true;
    wake();
    return handle_ != 0;
}

bool RecorderPCMImpl::pause()
{
    core::Lock guard(lock_);
    if (!handle_)
        return false;
    // A start the worker has not yet carried out would otherwise undo this pause.
    start_requested_ = false;
    if (stopped_)
        return true;
    uint32_t const result = device_.stop(handle_);
    if (result != platform::MMSYSERR_NOERROR)
        core::log() << "recorder bad pause!!!!! waveInStop=" << result << "\n";
    stopped_ = result == platform::MMSYSERR_NOERROR;
    return stopped_;
}

bool RecorderPCMImpl::finish(uint32_t milliseconds)
{
    {
        core::Lock guard(lock_);
        if (state_ != CAPTURING)
            return true;
    }
    pause();
    uint32_t const start = platform::tick_count();
    for (;;) {
        wake();
        {
            core::Lock guard(lock_);
            bool const waiting = std::any_of(blocks_.begin(), blocks_.end(),
                [](auto const& block) { return (block.flags.load() & platform::WHDR_DONE) != 0; });
            if (!waiting || state_ != CAPTURING)
                return true;
        }
        if (platform::tick_count() - start > milliseconds)
            return false;
        core::sleep(0.005);
    }
}

bool RecorderPCMImpl::is_stopped()
{
    core::Lock guard(lock_);
    return stopped_;
}

bool RecorderPCMImpl::is_running()
{
    core::Lock guard(lock_);
    return handle_ != 0 && state_ != FINISHED && core::Thread::is_running();
}

AudioFormat RecorderPCMImpl::format()
{
    core::Lock guard(lock_);
    return format_;
}

int32_t RecorderPCMImpl::block_size()
{
    core::Lock guard(lock_);
    return block_size_;
}

void RecorderPCMImpl::run()
{
    set_priority(1);
    while (!stop_requested()) {
        // A fast device's blocks wait for room outside the lock, so that the main thread's questions and a
        // stop never wait for the writer.
        std::function<bool(uint32_t)> room_wait;
        {
            core::Lock guard(lock_);
            if (fast_ && state_ == CAPTURING)
                room_wait = room_wait_;
        }
        bool const room = !room_wait || room_wait(POLL_MILLISECONDS);
        {
            core::Lock guard(lock_);
            if (take_messages() && state_ == OPENING) {
                state_ = OPEN;
                core::log() << "MM_WIM_OPEN\n";
            }
            if (state_ == OPEN) {
                if (!handle_) {
                    state_ = FINISHED;
                    return;
                }
                if (start_requested_)
                    start_device();
            }
            if (state_ == CAPTURING && room)
                collect();
            if (state_ == FINISHED)
                return;
        }
        // Woken by the device's next block, a start or a stop; the look every 100 ms stays for what sends
        // no message.
        if (room)
            platform::wait_message(POLL_MILLISECONDS);
    }
}

bool RecorderPCMImpl::take_messages()
{
    // The device's data messages say nothing the done flags do not; taking every message keeps the queue
    // from growing for as long as the recording runs, and the next wait from ending at once.
    bool opened = false;
    platform::Message message;
    while (platform::peek_message(message, 0, 0, 0, platform::Peek::REMOVE))
        opened = opened || message.message == platform::MM_WIM_OPEN;
    return opened;
}

void RecorderPCMImpl::start_device()
{
    core::LogStream log = core::log();
    for (int i = 0; i < BUFFER_COUNT; ++i) {
        blocks_[i].data = data_[i].get();
        blocks_[i].buffer_length = static_cast<uint32_t>(block_size_);
        queue_block(blocks_[i], log);
    }
    uint32_t const result = device_.start(handle_);
    if (result == platform::MMSYSERR_NOERROR) {
        state_ = CAPTURING;
        start_requested_ = false;
        core::log() << "recorder good start\n";
    } else {
        core::log() << "recorder bad start!!!!! waveInStart=" << result << "\n";
    }
    stopped_ = result != platform::MMSYSERR_NOERROR;
}

uint32_t RecorderPCMImpl::queue_block(platform::WaveBlock& block, core::LogStream& log)
{
    uint32_t result = device_.prepare_header(handle_, block);
    if (result != platform::MMSYSERR_NOERROR)
        log << "recorder bad prepare!!!!! handle=" << handle_ << " waveInPrepareHeader=" << result << "\n";
    result = device_.add_buffer(handle_, block);
    if (!log.sink().discards())
        log << "recorder add " << platform::tick_count() << "\n";
    if (result != platform::MMSYSERR_NOERROR)
        log << "recorder bad add!!!!! handle=" << handle_ << " waveInAddBuffer=" << result << "\n";
    return result;
}

void RecorderPCMImpl::collect()
{
    // One look at whether the log is on for the whole pass, not one per line (a fast input hands down
    // ten blocks a pass), and none for a pass that finds nothing.
    std::optional<core::LogStream> pass_log;
    std::array<platform::WaveBlock*, BUFFER_COUNT> delivered {};
    int count = 0;
    int const first = next_index_;
    for (int n = 0; n < BUFFER_COUNT && handle_; ++n) {
        int const index = (first + n) % BUFFER_COUNT;
        platform::WaveBlock& block = blocks_[index];
        if (!(block.flags.load(std::memory_order_acquire) & platform::WHDR_DONE))
            continue;
        next_index_ = (index + 1) % BUFFER_COUNT;
        core::LogStream& log = pass_log ? *pass_log : pass_log.emplace(core::log());
        uint32_t const result = device_.unprepare_header(handle_, block);
        if (result != platform::MMSYSERR_NOERROR) {
            log << "recorder bad unprepare!!!!! handle=" << handle_ << " waveInUnprepareHeader=" << result << "\n";
            log << "MMSYSERR_INVALHANDLE=" << platform::MMSYSERR_INVALHANDLE << "\n";
        }
        uint32_t const recorded = std::min(block.bytes_recorded.load(), block.buffer_length);
        AudioBuffer buffer(core::SharedBuffer(recorded, block.data), format_);
        log << "recorder->feed_consumer buffer:" << index << " size:" << recorded << "\n";
        feed_consumer(owner_, buffer);
        block.bytes_recorded.store(0);
        block.user = 0;
        block.flags.store(0);
        delivered[count++] = &block;
    }
    // The blocks go back to the device together, in the order they came, after the pass: the device wakes
    // once to fill them rather than once for each while the chain still runs. A live device fills one
    // block in 200 ms and has the others queued meanwhile.
    for (int i = 0; i < count && state_ != FINISHED; ++i) {
        // A device that went away gives back what it held and takes nothing more: the capture has ended,
        // and whoever asks whether it runs hears so.
        if (queue_block(*delivered[i], *pass_log) == platform::MMSYSERR_NODRIVER) {
            *pass_log << "recorder device gone\n";
            state_ = FINISHED;
        }
    }
}

} // namespace audio
