// Helpers shared by the ravelin-cli tests.
#pragma once

#include <TestSupport.h>
#include <cmath>
#include <map>
#include <sstream>
#include <vector>

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

using testing_support::run;
using testing_support::samples16;

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

// The length of the whole file as ffprobe tells it, in seconds.
inline double probed_duration(std::string const& path)
{
    return std::stod(run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + path).output);
}

// The 16-bit samples that ffmpeg decodes from the file (with `options` before its input).
inline std::vector<int16_t> ffmpeg_samples(std::string const& path, std::string const& options = "")
{
    return samples16(run("ffmpeg -v error" + options + " -i " + path + " -f s16le -").output);
}

// The WAV file's bytes with a chunk of odd size (and its pad byte) put in just before the "data" chunk,
// as a program that keeps its own notes in a file may write it.
inline std::string with_odd_chunk(std::string bytes)
{
    using testing_support::le_at;
    size_t at = 12;
    while (at + 8 <= bytes.size() && bytes.compare(at, 4, "data") != 0)
        at += 8 + le_at(bytes, at + 4) + (le_at(bytes, at + 4) & 1);
    bytes.insert(at, testing_support::chunk("note", "abcde") + '\0');
    return bytes.replace(4, 4, testing_support::le(le_at(bytes, 4) + 14, 4));
}

// A failure reported on exactly one line of standard error.
inline bool one_line_error(testing_support::CommandResult const& r)
{
    return r.exit_code != 0 && !r.error.empty() && r.error.find('\n') == r.error.size() - 1;
}

} // namespace cli_test
