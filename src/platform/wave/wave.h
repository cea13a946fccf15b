#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Wave devices with the call shapes of the handheld's wave API: a device is opened with a thread as its
// notification target, the caller hands it blocks (headers with a data pointer), and the device marks
// each block done and posts a message to that thread when it has filled it (input) or played it (output).
//
// The input backend is chosen by RAVELIN_AUDIO_IN, read at the first open: `sdl` (the default input
// device through SDL2), `file:PATH.wav[,fast]` (a WAV file as the microphone, converted to the asked
// format, in real time or with `fast` as quickly as blocks are queued), `none` (no microphone: open
// fails). A backend that cannot start prints one line on standard error and fails the open.
//
// The output backend is chosen by RAVELIN_AUDIO_OUT, read at the first open: `sdl` (the default output
// device through SDL2), `file:PATH.wav[,fast]` (what is played is written to a PCM WAV file, in real time
// or with `fast` as quickly as blocks are written), `none` (no speaker: open fails).
//
// Threads: every call may come from any thread; each device serialises them. Backend threads fill the
// queued input blocks and post MM_WIM_DATA, or play the written output blocks and post MM_WOM_DONE; they
// set WHDR_DONE last, so a caller that sees the flag may read the block's data and recorded count.
namespace platform {

using WaveHandle = uintptr_t; // 0: none

constexpr int WAVE_MAPPER = -1;

// Results, numbered as on the handheld.
constexpr uint32_t MMSYSERR_NOERROR = 0;
constexpr uint32_t MMSYSERR_ERROR = 1;
constexpr uint32_t MMSYSERR_BADDEVICEID = 2;
constexpr uint32_t MMSYSERR_INVALHANDLE = 5;
constexpr uint32_t MMSYSERR_NODRIVER = 6;
constexpr uint32_t MMSYSERR_NOMEM = 7;
constexpr uint32_t MMSYSERR_INVALFLAG = 10;
constexpr uint32_t MMSYSERR_INVALPARAM = 11;
constexpr uint32_t WAVERR_BADFORMAT = 32;
constexpr uint32_t WAVERR_STILLPLAYING = 33;
constexpr uint32_t WAVERR_UNPREPARED = 34;

// Notification kinds of open.
constexpr uint32_t CALLBACK_NULL = 0x00000000;
constexpr uint32_t CALLBACK_THREAD = 0x00020000;
// Added to the kind: nothing is opened, the answer says whether the format would be taken.
constexpr uint32_t WAVE_FORMAT_QUERY = 0x00000001;

// Block flags.
constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

// Units of a device's position.
constexpr uint32_t TIME_MS = 0x01;
constexpr uint32_t TIME_SAMPLES = 0x02;
constexpr uint32_t TIME_BYTES = 0x04;

struct WaveTime {
    uint32_t type = TIME_BYTES;
    uint64_t value = 0;
};

struct WaveFormat {
    uint16_t format_tag = WAVE_FORMAT_PCM;
    uint16_t channels = 0;
    uint32_t samples_per_sec = 0;
    uint32_t avg_bytes_per_sec = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint16_t extra_size = 0;
};

// A block handed to a device. The caller owns the data; from add until the device sets WHDR_DONE the
// device may write it. The flags and the recorded count are atomic because the device's thread sets
// them while the caller polls.
struct WaveBlock {
    uint8_t* data = nullptr;
    uint32_t buffer_length = 0;
    std::atomic<uint32_t> bytes_recorded { 0 };
    uintptr_t user = 0;
    std::atomic<uint32_t> flags { 0 };
};

// Opens input `device` (WAVE_MAPPER or 0) in `format` (PCM, 1 or 2 channels, 8 or 16 bits, 8000 to
// 48000 Hz). With CALLBACK_THREAD, MM_WIM_OPEN, MM_WIM_DATA (lparam: the WaveBlock) and MM_WIM_CLOSE are
// posted to `thread_id` with wparam = the handle. `instance` is kept for the caller.
uint32_t wave_in_open(
    WaveHandle& handle, int device, WaveFormat const& format, uint32_t thread_id, uintptr_t instance, uint32_t flags);
uint32_t wave_in_prepare_header(WaveHandle handle, WaveBlock& block);
uint32_t wave_in_unprepare_header(WaveHandle handle, WaveBlock& block);
uint32_t wave_in_add_buffer(WaveHandle handle, WaveBlock& block);
uint32_t wave_in_start(WaveHandle handle);
// Stops input; the block being filled is returned done with what it holds, empty ones stay queued.
uint32_t wave_in_stop(WaveHandle handle);
// Stops input and returns every queued block done.
uint32_t wave_in_reset(WaveHandle handle);
// Fails with WAVERR_STILLPLAYING while blocks are queued.
uint32_t wave_in_close(WaveHandle handle);
// Whether the input fills its blocks as fast as they are queued (a file with `fast`) rather than in real
// time: its caller may keep them as long as it needs without losing anything. False for no device.
bool wave_in_is_fast(WaveHandle handle);

// Replaces the backend chosen from RAVELIN_AUDIO_IN for later opens ("sdl", "file:PATH.wav[,fast]",
// "none"); for tests and tools.
void select_wave_input(std::string const& choice);

// The capture devices the sound system offers through SDL, by name, monitors of outputs included (what
// the speaker plays can be recorded); empty when SDL audio does not start. A PulseAudio server, and
// PipeWire through its PulseAudio side, names them by their descriptions ("Monitor of Built-in Audio").
std::vector<std::string> wave_input_devices();
// The capture device that later opens of the sdl input use; empty for the system's default. A name that
// is not offered when the input opens is passed over for the default. RAVELIN_AUDIO_IN, when set, names
// the microphone itself and this choice plays no part (until select_wave_input chooses again).
//
// A live input that goes away while open (unplugged, unloaded, the sound server gone) gives back every
// queued block done with what it holds, says so on standard error, and refuses blocks and starts with
// MMSYSERR_NODRIVER from then on.
void set_wave_input_device(std::string const& name);

// True once the input opened last has no more to give (a file input read to its end) and its caller has
// queued again every block it filled, that is, has taken everything recorded. Never true for a live
// device. Waits up to `milliseconds` for that.
bool wave_input_ended();
bool wave_input_wait_end(uint32_t milliseconds);

// Opens output `device` (WAVE_MAPPER or 0) in `format` (PCM, 1 or 2 channels, 8 or 16 bits, 8000 to
// 192000 Hz). With CALLBACK_THREAD, MM_WOM_OPEN, MM_WOM_DONE (lparam: the WaveBlock) and MM_WOM_CLOSE are
// posted to `thread_id` with wparam = the handle. `instance` is kept for the caller.
uint32_t wave_out_open(
    WaveHandle& handle, int device, WaveFormat const& format, uint32_t thread_id, uintptr_t instance, uint32_t flags);
// A block's bytes are its buffer_length; an output block may be empty, and comes back done at once.
uint32_t wave_out_prepare_header(WaveHandle handle, WaveBlock& block);
uint32_t wave_out_unprepare_header(WaveHandle handle, WaveBlock& block);
// Queues a prepared block; blocks are played in the order written.
uint32_t wave_out_write(WaveHandle handle, WaveBlock& block);
// Holds playback where it is; restart goes on from there.
uint32_t wave_out_pause(WaveHandle handle);
uint32_t wave_out_restart(WaveHandle handle);
// Stops playback and returns every queued block done; a paused device stays paused.
uint32_t wave_out_reset(WaveHandle handle);
// Fails with WAVERR_STILLPLAYING while blocks are queued.
uint32_t wave_out_close(WaveHandle handle);
// Left channel in the low 16 bits, right in the high 16 bits, 0xFFFF full; mono takes the low word.
uint32_t wave_out_set_volume(WaveHandle handle, uint32_t volume);
uint32_t wave_out_get_volume(WaveHandle handle, uint32_t& volume);
// What has been played since the open or the last reset, in the unit `time.type` asks for (samples: sample
// frames); another unit is answered in bytes, with the type changed to say so. A pause holds it. The sdl
// output counts what its last buffer holds as the sound system plays it out; the file output what the file
// was given.
uint32_t wave_out_get_position(WaveHandle handle, WaveTime& time);
// 0 when the chosen output is `none`, else 1.
uint32_t wave_out_get_num_devs();

// Replaces the backend chosen from RAVELIN_AUDIO_OUT for later opens ("sdl", "file:PATH.wav[,fast]",
// "none"); for tests and tools. A file chosen again starts afresh at its next open.
void select_wave_output(std::string const& choice);

// The playback devices the sound system offers through SDL, by name, as for the input.
std::vector<std::string> wave_output_devices();
// The playback device of later opens of the sdl output, as set_wave_input_device for the input; one that
// goes away while open gives back every written block done and refuses writes with MMSYSERR_NODRIVER.
void set_wave_output_device(std::string const& name);

// Plays a PCM WAV file (8 or 16 bits, 1 or 2 channels) on the output and returns when it has been
// played; the start and end beeps. False at once, silently, when there is no output or the file cannot
// be played.
bool play_sound_file(std::u16string const& path);

} // namespace platform
