#pragma once

#include "AppTestSupport.h"

#include <csignal>
#include <utility>

namespace app_test {

// A ravelin process started in the background, with its own log folder, trace file and output. One that
// still runs when its test ends (a failed one) is killed.
struct RavelinProcess {
    std::string dir; // its state folder (the log), trace and output
    int pid = 0;

    RavelinProcess() = default;
    RavelinProcess(RavelinProcess&& other) noexcept
        : dir(std::move(other.dir))
        , pid(std::exchange(other.pid, 0))
    {
    }
    RavelinProcess& operator=(RavelinProcess&&) = delete;
    ~RavelinProcess()
    {
        if (running())
            kill(pid, SIGKILL);
    }

    std::string trace() const { return testing_support::read_file(dir + "/trace.txt"); }
    std::string log() const { return core::to_utf8(testing_support::read_utf16_file(dir + "/ravelin/ravelin.txt")); }
    bool running() const { return pid > 0 && kill(pid, 0) == 0; }
};

// The environment every process of one test shares: the runtime folder of the single-instance lock. Its
// speaker is a file played in real time, so that a playback runs as long as it would be heard.
inline std::string process_environment(std::string const& runtime, std::string const& dir)
{
    return "env XDG_RUNTIME_DIR=" + runtime + " XDG_STATE_HOME=" + dir + " RAVELIN_TRACE_FORMS=" + dir
        + "/trace.txt RAVELIN_APP_PATH=" + app_data() + " RAVELIN_AUDIO_OUT=file:" + dir + "/speaker.wav ";
}

inline RavelinProcess start_ravelin(
    std::string const& runtime, std::string const& arguments, std::string const& extra_environment = "")
{
    RavelinProcess process;
    process.dir = testing_support::fresh_dir("ravelin");
    auto const result = testing_support::run(process_environment(runtime, process.dir) + extra_environment + " "
        + testing_support::bin_dir() + "/ravelin " + arguments + " >" + process.dir + "/out.txt 2>&1 & echo $!");
    process.pid = std::atoi(result.output.c_str());
    return process;
}

// Runs ravelin in the foreground (a later start); its exit code.
inline int run_ravelin(std::string const& runtime, std::string const& arguments)
{
    std::string const dir = testing_support::fresh_dir("later");
    return testing_support::run(
        process_environment(runtime, dir) + testing_support::bin_dir() + "/ravelin " + arguments + " >/dev/null 2>&1")
        .exit_code;
}

using testing_support::wait_until;

inline bool shows(RavelinProcess const& process, std::string const& form)
{
    return process.trace().starts_with(form + "\n");
}

// A recording's duration in seconds as `cli` (a command line starting ravelin-cli) decodes it, -1 when none.
inline double recording_seconds(std::string const& cli, std::string const& path)
{
    std::string const info = testing_support::run(cli + " info '" + path + "'").output;
    size_t const at = info.find("duration=");
    return at == std::string::npos ? -1 : std::atof(info.c_str() + at + 9);
}

// The newest recording's path and its duration in seconds as the readers decode it (-1 when none).
inline std::pair<std::string, double> newest_recording(std::string const& runtime, std::string const& dir)
{
    auto const listed
        = testing_support::run(process_environment(runtime, dir) + testing_support::bin_dir() + "/ravelin-cli list");
    std::string const first = listed.output.substr(0, listed.output.find('\n'));
    std::string const path = first.substr(first.rfind('\t') + 1);
    if (path.empty())
        return { path, -1 };
    return { path, recording_seconds(testing_support::bin_dir() + "/ravelin-cli", path) };
}

inline bool stop(RavelinProcess const& process, int signal = SIGTERM)
{
    kill(process.pid, signal);
    return wait_until([&] { return !process.running(); });
}

} // namespace app_test
