// The live wave input and output on SDL2 audio (PipeWire, PulseAudio or ALSA underneath). The only file
// of the wave devices that sees SDL.
#include "wave_backend.h"

#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

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
        if (length > 0)
            static_cast<SdlInput*>(self)->sink_.deliver(stream, static_cast<size_t>(length));
    }

    void set_device(SDL_AudioDeviceID device) { device_ = device; }

private:
    SDL_AudioDeviceID device_;
    CaptureSink& sink_;
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

    // What the device has taken is at most its buffer: twice that covers the sound system's own queue.
    void drain() override { std::this_thread::sleep_for(latency_ * 2); }

    // Runs on SDL's audio thread.
    static void callback(void* self, Uint8* stream, int length)
    {
        if (length > 0)
            static_cast<SdlOutput*>(self)->source_.render(stream, static_cast<size_t>(length));
    }

    void set_device(SDL_AudioDeviceID device, SDL_AudioSpec const& have)
    {
        device_ = device;
        latency_ = std::chrono::milliseconds(1000 * have.samples / std::max(have.freq, 1) + 20);
    }

private:
    SDL_AudioDeviceID device_ = 0;
    PlaybackSource& source_;
    std::chrono::milliseconds latency_ { 0 };
};

} // namespace

std::unique_ptr<LiveOutput> open_sdl_output(WaveFormat const& format, PlaybackSource& source, std::string& error)
{
    std::lock_guard lock(subsystem_mutex());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
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
    // No changes allowed: SDL converts what we give to whatever the device plays.
    SDL_AudioDeviceID const device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        error = std::string("no speaker: SDL cannot open the audio output (") + SDL_GetError() + ")";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->set_device(device, have);
    SDL_PauseAudioDevice(device, 0);
    return output;
}

namespace {

// Monitors of the outputs are listed with the microphones, so that what the speaker plays can be recorded.
bool init_audio()
{
    SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

std::vector<std::string> capture_names()
{
    std::vector<std::string> names;
    int const count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i)
        if (char const* name = SDL_GetAudioDeviceName(i, 1))
            names.emplace_back(name);
    return names;
}

} // namespace

std::vector<std::string> sdl_input_devices()
{
    std::lock_guard lock(subsystem_mutex());
    if (!init_audio())
        return {};
    auto names = capture_names();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return names;
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
    auto const names = capture_names();
    bool const offered = !device.empty() && std::find(names.begin(), names.end(), device) != names.end();
    SDL_AudioDeviceID const opened = SDL_OpenAudioDevice(offered ? device.c_str() : nullptr, 1, &want, &have, 0);
    if (opened == 0) {
        error = std::string("no microphone: SDL cannot open the audio input (") + SDL_GetError() + ")";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    input->set_device(opened);
    return input;
}

} // namespace platform::wave_backend
