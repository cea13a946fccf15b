// A sound server of the test's own, as a desktop or a Linux phone runs one: PipeWire with WirePlumber and
// its PulseAudio side (pipewire-pulse), on a session bus and in a runtime folder of their own, with a null
// sink whose monitor can be recorded. No systemd: the test starts and ends each process by its id.
#pragma once

#include <TestSupport.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class SoundServer {
public:
    static constexpr char SINK[] = "ravelin_test";
    // pipewire-pulse takes a module argument up to its first space, quoted or not.
    static constexpr char SINK_DESCRIPTION[] = "Ravelin-Test-Output";
    static constexpr char MONITOR[] = "Monitor of Ravelin-Test-Output";

    // Whether the machine has what it takes (the programs of packages.txt); `missing` names what it lacks.
    static bool installed(std::string& missing)
    {
        for (char const* program : { "pipewire", "wireplumber", "pipewire-pulse", "pactl", "pw-record", "paplay" })
            if (run(std::string("command -v ") + program).exit_code != 0)
                missing += (missing.empty() ? "" : ", ") + std::string(program);
        return missing.empty();
    }

    SoundServer()
    {
        runtime_ = fresh_dir("sound-server");
        run("chmod 700 " + runtime_);
        bus_ = "unix:path=" + runtime_ + "/bus";
        start("dbus-daemon --session --nofork --nopidfile --address=" + bus_, "dbus");
        if (!wait_for([&] { return file_exists(runtime_ + "/bus"); })) {
            problem_ = "the session bus did not start: " + read_file(runtime_ + "/dbus.txt");
            return;
        }
        start("pipewire", "pipewire");
        if (!wait_for([&] { return file_exists(runtime_ + "/pipewire-0"); })) {
            problem_ = "pipewire did not start: " + read_file(runtime_ + "/pipewire.txt");
            return;
        }
        start("wireplumber", "wireplumber");
        start("pipewire-pulse", "pipewire-pulse");
        if (!wait_for([&] { return pactl("info").exit_code == 0; })) {
            problem_ = "pipewire-pulse does not answer: " + read_file(runtime_ + "/pipewire-pulse.txt");
            return;
        }
        load_sink();
    }

    ~SoundServer()
    {
        for (auto it = pids_.rbegin(); it != pids_.rend(); ++it)
            kill(*it, SIGTERM);
    }

    SoundServer(SoundServer const&) = delete;
    SoundServer& operator=(SoundServer const&) = delete;

    // Empty when the server runs with its sink; else what went wrong.
    std::string const& problem() const { return problem_; }
    // The variables a client of this server needs, for the front of a command line.
    std::string environment() const
    {
        return "env XDG_RUNTIME_DIR=" + runtime_ + " PULSE_SERVER=unix:" + runtime_
            + "/pulse/native PIPEWIRE_RUNTIME_DIR=" + runtime_ + " DBUS_SESSION_BUS_ADDRESS=" + bus_ + " ";
    }
    CommandResult pactl(std::string const& arguments) const { return run(environment() + "pactl " + arguments); }

    // Takes the null sink away: its monitor source goes with it.
    bool unload_sink() { return pactl("unload-module " + sink_module_).exit_code == 0; }
    bool load_sink()
    {
        auto const loaded = pactl(std::string("load-module module-null-sink sink_name=") + SINK
            + " sink_properties=device.description=" + SINK_DESCRIPTION);
        sink_module_ = loaded.output.substr(0, loaded.output.find('\n'));
        if (loaded.exit_code != 0 || sink_module_.empty()) {
            problem_ = "the null sink cannot be loaded: " + loaded.error;
            return false;
        }
        // The server's clients see the sink once its monitor is listed.
        if (!wait_for([&] {
                return pactl("list short sources").output.find(std::string(SINK) + ".monitor") != std::string::npos;
            })) {
            problem_ = "the null sink's monitor does not come";
            return false;
        }
        return true;
    }

    // Runs a command line in the background with the server's environment, its output into `log`; its id.
    int start_client(std::string const& command_line, std::string const& log)
    {
        int const pid = std::atoi(run(environment() + command_line + " >" + log + " 2>&1 & echo $!").output.c_str());
        if (pid > 0)
            pids_.push_back(pid);
        return pid;
    }

    std::string const& runtime() const { return runtime_; }

private:
    void start(std::string const& command_line, std::string const& name)
    {
        start_client(command_line, runtime_ + "/" + name + ".txt");
    }

    template <typename Done> static bool wait_for(Done done)
    {
        auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    std::string runtime_;
    std::string bus_;
    std::string sink_module_;
    std::string problem_;
    std::vector<int> pids_;
};

// What a 16-bit PCM WAV file holds, mixed to mono, from -1 to 1; empty when it is no such file.
inline std::vector<double> wav_samples(std::string const& path, uint32_t& rate)
{
    std::string const bytes = read_file(path);
    auto le = [&](size_t at, int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= uint32_t(uint8_t(bytes[at + i])) << (8 * i);
        return v;
    };
    std::vector<double> out;
    uint32_t channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        uint32_t const size = le(at + 4, 4);
        if (bytes.compare(at, 4, "fmt ") == 0 && at + 24 <= bytes.size()) {
            channels = le(at + 10, 2);
            rate = le(at + 12, 4);
            bits = le(at + 22, 2);
        } else if (bytes.compare(at, 4, "data") == 0 && channels > 0 && bits == 16) {
            size_t const end = std::min<size_t>(bytes.size(), at + 8 + size);
            for (size_t p = at + 8; p + 2 * channels <= end; p += 2 * channels) {
                double sum = 0;
                for (uint32_t c = 0; c < channels; ++c)
                    sum += static_cast<int16_t>(le(p + 2 * c, 2)) / 32768.0;
                out.push_back(sum / channels);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

// The sound of a recording, as a peer measures it: where it is louder than a whisper, its length, its
// loudness and the pitch of each half (from the crossings of zero).
struct Sound {
    double seconds = 0;
    double rms = 0;
    double first_hz = 0, second_hz = 0;
};

inline Sound measure(std::vector<double> const& samples, uint32_t rate)
{
    Sound sound;
    size_t first = 0, last = samples.size();
    while (first < samples.size() && std::abs(samples[first]) < 0.05)
        ++first;
    while (last > first && std::abs(samples[last - 1]) < 0.05)
        --last;
    if (last <= first || rate == 0)
        return sound;
    sound.seconds = static_cast<double>(last - first) / rate;
    double sum = 0;
    for (size_t i = first; i < last; ++i)
        sum += samples[i] * samples[i];
    sound.rms = std::sqrt(sum / static_cast<double>(last - first));
    auto pitch = [&](size_t from, size_t to) {
        int crossings = 0;
        for (size_t i = from + 1; i < to; ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        return crossings / 2.0 / (static_cast<double>(to - from) / rate);
    };
    size_t const middle = first + (last - first) / 2;
    sound.first_hz = pitch(first, middle);
    sound.second_hz = pitch(middle, last);
    return sound;
}

} // namespace testing_support
