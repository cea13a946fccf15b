// The live wave input and output on SDL2 audio (PipeWire, PulseAudio or ALSA underneath). The only file
// of the wave devices that sees SDL.
//
// A device that goes away while open (a USB microphone unplugged, a source or sink unloaded, the sound
// server ended) is one SDL stops: its callbacks go on with silence, so each callback asks first and tells
// the device core once instead.
#include "wave_backend.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

namespace platform::wave_backend {

namespace {

// SDL's audio subsystem is counted, but starting and ending it is not safe from two threads at once.
std::mutex& subsystem_mutex()
{
    static std::mutex mutex;
    return mutex;
}

class SdlInput final : public LiveInput {
public:
    SdlInput(SDL_AudioDeviceID device, CaptureSink& sink)
        : device_(device)
        , sink_(sink)
    {
    }

    ~SdlInput() override
    {
        if (device_ == 0)
            return; // never opened: the opener ends the subsystem
        std::lock_guard lock(subsystem_mutex());
        SDL_CloseAudioDevice(device_); // waits for a callback in progress
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void start() override { SDL_PauseAudioDevice(device_, 0); }
    // Pausing takes the device's lock, which every callback holds: none runs after this returns.
    void stop() override { SDL_PauseAudioDevice(device_, 1); }

    // Runs on SDL's audio thread.
    static void callback(void* self, Uint8* stream, int length)
    {
        auto& input = *static_cast<SdlInput*>(self);
        if (input.gone())
            return;
        if (length > 0)
            input.sink_.deliver(stream, static_cast<size_t>(length));
    }

    void set_device(SDL_AudioDeviceID device) { device_ = device; }

private:
    // Whether the device has gone; the sink is told the first time.
    bool gone()
    {
        if (SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED)
            return false;
        if (!lost_.exchange(true))
            sink_.lost();
        return true;
    }

    SDL_AudioDeviceID device_;
    CaptureSink& sink_;
    std::atomic<bool> lost_ { false };
};

class SdlOutput final : public LiveOutput {
public:
    explicit SdlOutput(PlaybackSource& source)
        : source_(source)
    {
    }

    ~SdlOutput() override
    {
        if (device_ == 0)
            return;
        std::lock_guard lock(subsystem_mutex());
        SDL_CloseAudioDevice(device_); // waits for a callback in progress
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Runs on SDL's audio thread.
    static void callback(void* self, Uint8* stream, int length)
    {
        auto& output = *static_cast<SdlOutput*>(self);
        if (length <= 0)
            return;
        if (SDL_GetAudioDeviceStatus(output.device_) == SDL_AUDIO_STOPPED) {
            if (!output.lost_.exchange(true))
                output.source_.lost();
            std::memset(stream, output.silence_, static_cast<size_t>(length));
            return;
        }
        output.source_.render(stream, static_cast<size_t>(length));
    }

    void set_device(SDL_AudioDeviceID device, SDL_AudioSpec const& have)
    {
        device_ = device;
        silence_ = have.silence;
    }

private:
    SDL_AudioDeviceID device_ = 0;
    PlaybackSource& source_;
    Uint8 silence_ = 0;
    std::atomic<bool> lost_ { false };
};

// Monitors of the outputs are listed with the microphones, so that what the speaker plays can be recorded.
bool init_audio()
{
    SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

std::vector<std::string> device_names(int capture)
{
    std::vector<std::string> names;
    int const count = SDL_GetNumAudioDevices(capture);
    for (int i = 0; i < count; ++i)
        if (char const* name = SDL_GetAudioDeviceName(i, capture))
            names.emplace_back(name);
    return names;
}

// The name to open: the one asked for while it is offered, else the default (none).
char const* offered(std::string const& device, int capture)
{
    if (device.empty())
        return nullptr;
    auto const names = device_names(capture);
    return std::find(names.begin(), names.end(), device) != names.end() ? device.c_str() : nullptr;
}

std::vector<std::string> list_devices(int capture)
{
    std::lock_guard lock(subsystem_mutex());
    if (!init_audio())
        return {};
    auto names = device_names(capture);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return names;
}

} // namespace

std::unique_ptr<LiveOutput> open_sdl_output(
    WaveFormat const& format, PlaybackSource& source, std::string const& device, std::string& error)
{
    std::lock_guard lock(subsystem_mutex());
    if (!init_audio()) {
        error = std::string("no speaker: SDL audio does not start (") + SDL_GetError() + ")";
        return nullptr;
    }
    if (SDL_GetNumAudioDevices(0) == 0) {
        error = std::string("no speaker: SDL audio (") + SDL_GetCurrentAudioDriver() + ") has no output device";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    auto output = std::make_unique<SdlOutput>(source);
    SDL_AudioSpec want {};
    want.freq = static_cast<int>(format.samples_per_sec);
    want.format = format.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = &SdlOutput::callback;
    want.userdata = output.get();
    SDL_AudioSpec have {};
    // No changes allowed: SDL converts what we give to whatever the device plays. A device that has gone
    // is passed over for the default.
    SDL_AudioDeviceID const opened = SDL_OpenAudioDevice(offered(device, 0), 0, &want, &have, 0);
    if (opened == 0) {
        error = std::string("no speaker: SDL cannot open the audio output (") + SDL_GetError() + ")";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->set_device(opened, have);
    SDL_PauseAudioDevice(opened, 0);
    return output;
}

std::vector<std::string> sdl_input_devices()
{
    return list_devices(1);
}

std::vector<std::string> sdl_output_devices()
{
    return list_devices(0);
}

std::unique_ptr<LiveInput> open_sdl_input(
    WaveFormat const& format, CaptureSink& sink, std::string const& device, std::string& error)
{
    std::lock_guard lock(subsystem_mutex());
    if (!init_audio()) {
        error = std::string("no microphone: SDL audio does not start (") + SDL_GetError() + ")";
        return nullptr;
    }
    // Asking first keeps the sound system's own complaints about a missing device off standard error.
    if (SDL_GetNumAudioDevices(1) == 0) {
        error = std::string("no microphone: SDL audio (") + SDL_GetCurrentAudioDriver() + ") has no input device";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    auto input = std::make_unique<SdlInput>(0, sink);
    SDL_AudioSpec want {};
    want.freq = static_cast<int>(format.samples_per_sec);
    want.format = format.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = 1024;
    want.callback = &SdlInput::callback;
    want.userdata = input.get();
    SDL_AudioSpec have {};
    // No changes allowed: SDL converts from whatever the device gives to the format asked for.
    // A device that has gone is passed over for the default.
    SDL_AudioDeviceID const opened = SDL_OpenAudioDevice(offered(device, 1), 1, &want, &have, 0);
    if (opened == 0) {
        error = std::string("no microphone: SDL cannot open the audio input (") + SDL_GetError() + ")";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    input->set_device(opened);
    return input;
}

} // namespace platform::wave_backend
