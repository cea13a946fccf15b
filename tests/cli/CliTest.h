// Helpers shared by the ravelin-cli tests.
#pragma once

#include <TestSupport.h>
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

using testing_support::samples16;

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
