// A sound server of the test's own, as a desktop or a Linux phone runs one: PipeWire with WirePlumber and
// its PulseAudio side (pipewire-pulse), on a session bus and in a runtime folder of their own, with a null
// sink whose monitor can be recorded. No systemd: the test starts and ends each process by its id.
#pragma once

#include <TestSupport.h>
#include <algorithm>

#include <cmath>
#include <csignal>
#include <cstdlib>

namespace testing_support {

class SoundServer {
public:
    static constexpr char SINK[] = "ravelin_test";
    // pipewire-pulse takes a module argument up to its first space, quoted or not.
    static constexpr char SINK_DESCRIPTION[] = "Ravelin-Test-Output";
    static constexpr char MONITOR[] = "Monitor of Ravelin-Test-Output";

    // Empty when the machine has the programs of packages.txt; else a line naming what it lacks.
    static std::string missing()
    {
        std::string missing;
        for (char const* program : { "pipewire", "wireplumber", "pipewire-pulse", "pactl", "pw-record", "paplay" })
            if (run(std::string("command -v ") + program).exit_code != 0)
                missing += " " + std::string(program);
        return missing.empty() ? "" : "PipeWire is not installed here (lacking" + missing + "; see packages.txt)";
    }

    SoundServer()
    {
        runtime_ = fresh_dir("sound-server");
        run("chmod 700 " + runtime_);
        bus_ = "unix:path=" + runtime_ + "/bus";
        start("dbus-daemon --session --nofork --nopidfile --address=" + bus_, "dbus");
        if (!up([&] { return file_exists(runtime_ + "/bus"); }, "dbus"))
            return;
        start("pipewire", "pipewire");
        if (!up([&] { return file_exists(runtime_ + "/pipewire-0"); }, "pipewire"))
            return;
        start("wireplumber", "wireplumber");
        start("pipewire-pulse", "pipewire-pulse");
        if (!up([&] { return pactl("info").exit_code == 0; }, "pipewire-pulse"))
            return;
        // The default sink and source are a quiet one's, so that only a chosen device hears the test sink.
        if (load_sink("ravelin_quiet", "Quiet") && load_sink()) {
            pactl("set-default-sink ravelin_quiet");
            pactl("set-default-source ravelin_quiet.monitor");
        }
    }

    ~SoundServer()
    {
        for (auto it = pids_.rbegin(); it != pids_.rend(); ++it)
            kill(*it, SIGTERM);
    }

    SoundServer(SoundServer const&) = delete;
    SoundServer& operator=(SoundServer const&) = delete;

    // Empty when the server runs with its sinks; else what went wrong.
    std::string const& problem() const { return problem_; }
    // The variables a client of this server needs, for the front of a command line.
    std::string environment() const
    {
        return "env XDG_RUNTIME_DIR=" + runtime_ + " PULSE_SERVER=unix:" + runtime_
            + "/pulse/native PIPEWIRE_RUNTIME_DIR=" + runtime_ + " DBUS_SESSION_BUS_ADDRESS=" + bus_ + " ";
    }
    CommandResult pactl(std::string const& arguments) const { return run(environment() + "pactl " + arguments); }

    // Takes the test sink away: its monitor source goes with it.
    bool unload_sink() { return pactl("unload-module " + sink_module_).exit_code == 0; }
    bool load_sink(std::string const& name = SINK, std::string const& description = SINK_DESCRIPTION)
    {
        auto const loaded = pactl(
            "load-module module-null-sink sink_name=" + name + " sink_properties=device.description=" + description);
        sink_module_ = loaded.output.substr(0, loaded.output.find('\n'));
        // The server's clients see the sink once its monitor is listed.
        if (loaded.exit_code != 0
            || !wait_until(
                [&] { return pactl("list short sources").output.find(name + ".monitor") != std::string::npos; }, 15000))
            problem_ = "the null sink " + name + " cannot be loaded: " + loaded.error;
        return problem_.empty();
    }

    // Runs a command line in the background with the server's environment, its output into `log`; its id.
    int start_client(std::string const& command_line, std::string const& log)
    {
        int const pid = std::atoi(run(environment() + command_line + " >" + log + " 2>&1 & echo $!").output.c_str());
        if (pid > 0)
            pids_.push_back(pid);
        return pid;
    }

    // A 1 kHz tone played into the test sink for a minute.
    int play_tone(std::string const& dir)
    {
        run("sox -n -r 48000 -c 2 -b 16 " + dir + "/tone.wav synth 60 sine 1000 vol 0.5");
        return start_client(std::string("paplay --device=") + SINK + " " + dir + "/tone.wav", dir + "/paplay.txt");
    }

private:
    void start(std::string const& command_line, std::string const& name)
    {
        start_client(command_line, runtime_ + "/" + name + ".txt");
    }

    // Waits for `ready`; else keeps what the program said as the problem.
    template <typename Ready> bool up(Ready ready, std::string const& name)
    {
        if (!wait_until(ready, 15000))
            problem_ = name + " did not start: " + read_file(runtime_ + "/" + name + ".txt");
        return problem_.empty();
    }

    std::string runtime_;
    std::string bus_;
    std::string sink_module_;
    std::string problem_;
    std::vector<int> pids_;
};

// A recording as a peer hears it (FFmpeg decodes it to mono, without an MP3 encoder's delay and padding): its whole
// length, and where it is louder than a whisper, its length, loudness and the pitch of each half (from the median
// spacing of its upward crossings of zero, so that a dropout of a busy machine's sound server does not pull it down).
struct Sound {
    double length = 0, seconds = 0, rms = 0;
    double first_hz = 0, second_hz = 0;
};

inline Sound sound_of(std::string const& path)
{
    Sound sound;
    double const rate = 48000;
    run("ffmpeg -loglevel error -y -i '" + path + "' -ac 1 -ar 48000 -f s16le '" + path + ".raw'");
    auto const samples = samples16(read_file(path + ".raw"));
    size_t first = 0, last = samples.size();
    while (first < last && std::abs(samples[first]) < 1600)
        ++first;
    while (last > first && std::abs(samples[last - 1]) < 1600)
        --last;
    sound.length = static_cast<double>(samples.size()) / rate;
    if (last <= first)
        return sound;
    sound.seconds = static_cast<double>(last - first) / rate;
    double sum = 0;
    for (size_t i = first; i < last; ++i)
        sum += double(samples[i]) * samples[i];
    sound.rms = std::sqrt(sum / static_cast<double>(last - first));
    auto pitch = [&](size_t from, size_t to) {
        std::vector<double> periods;
        double last_up = -1;
        for (size_t i = from + 1; i < to; ++i) {
            if (samples[i - 1] >= 0 || samples[i] < 0)
                continue;
            // Where the line between the two samples crosses zero.
            double const up = double(i - 1) + double(samples[i - 1]) / (double(samples[i - 1]) - samples[i]);
            if (last_up >= 0)
                periods.push_back(up - last_up);
            last_up = up;
        }
        if (periods.empty())
            return 0.0;
        std::nth_element(periods.begin(), periods.begin() + std::ptrdiff_t(periods.size() / 2), periods.end());
        return rate / periods[periods.size() / 2];
    };
    size_t const middle = first + (last - first) / 2;
    sound.first_hz = pitch(first, middle);
    sound.second_hz = pitch(middle, last);
    return sound;
}

} // namespace testing_support
