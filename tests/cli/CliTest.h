// Helpers shared by the ravelin-cli tests.
#pragma once

#include <TestSupport.h>
#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace cli_test {

inline std::string cli()
{
    return testing_support::bin_dir() + "/ravelin-cli";
}

// The key=value lines of a command's output.
inline std::map<std::string, std::string> key_values(std::string const& text)
{
    std::map<std::string, std::string> facts;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (auto eq = line.find('='); eq != std::string::npos)
            facts[line.substr(0, eq)] = line.substr(eq + 1);
    return facts;
}

using testing_support::ffmpeg_samples;
using testing_support::first_line;
using testing_support::probed_duration;
using testing_support::run;
using testing_support::samples16;
using testing_support::snr;

// ffprobe's view of the file's first audio stream and of its tags, and its exit code as "exit".
inline std::map<std::string, std::string> probe(std::string const& path)
{
    auto const r = run("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,duration,bit_rate"
                       " -show_entries format_tags -of default=nw=1 "
        + path);
    auto facts = key_values(r.output);
    facts["exit"] = std::to_string(r.exit_code);
    return facts;
}

// A WAV file of sox's tone at `path` (see testing_support::sox_tone), as the input of a command.
inline std::string sox_input(std::string const& path, int rate, int channels, double seconds,
    std::string const& synth = "sine 180:700 sine 310 vol 0.35")
{
    EXPECT_TRUE(testing_support::sox_tone(path, rate, channels, seconds, synth));
    return path;
}

inline testing_support::CommandResult encode(std::string const& in, std::string const& out, std::string const& options)
{
    return run(cli() + " encode " + in + " " + out + " " + options);
}

// Seconds of audio that ffmpeg decodes from the file, which it must read without an error.
inline double decoded_seconds(std::string const& path)
{
    auto const r = run("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 1 -ar 44100 - | wc -c");
    EXPECT_EQ(r.error, "") << path;
    return std::stod(r.output) / (2.0 * 44100);
}

// A place of its own for one test: documents folder and registry.
struct Place {
    std::string dir;
    std::string env;
    explicit Place(std::string const& name)
        : dir(testing_support::fresh_dir(name))
        , env("XDG_DOCUMENTS_DIR='" + dir + "/Documents' RAVELIN_REGISTRY='" + dir + "/registry.db' ")
    {
    }
    std::string store() const { return dir + "/Documents/My Ravelin"; }

    // A recording (with `options`) of the input in real time that gets `signal` `seconds` after it printed
    // its path into `out` (waiting at most 10 s for that, and no longer than it runs).
    testing_support::CommandResult record_until(std::string const& input, std::string const& out, double seconds,
        std::string const& signal, std::string const& options = "") const
    {
        return run(env + "RAVELIN_AUDIO_IN='file:" + input + "' " + cli() + " record " + options + " > '" + out
            + "' & pid=$!; n=0; until [ -s '" + out
            + "' ] || [ $n -ge 1000 ] || ! kill -0 $pid 2>/dev/null; do sleep 0.01; n=$((n+1)); done; sleep "
            + std::to_string(seconds) + "; kill -" + signal + " $pid; wait $pid");
    }
};

// A failure reported on exactly one line of standard error.
inline bool one_line_error(testing_support::CommandResult const& r)
{
    return r.exit_code != 0 && !r.error.empty() && r.error.find('\n') == r.error.size() - 1;
}

} // namespace cli_test
