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

// Raw 16-bit little-endian samples.
inline std::vector<int16_t> samples16(std::string const& raw)
{
    std::vector<int16_t> out(raw.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(uint8_t(raw[2 * i]) | uint8_t(raw[2 * i + 1]) << 8);
    return out;
}

// The WAV file's bytes with a chunk of odd size (and its pad byte) put in just before the "data" chunk,
// as a program that keeps its own notes in a file may write it.
inline std::string with_odd_chunk(std::string bytes)
{
    auto le32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8
            | uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    size_t at = 12;
    while (at + 8 <= bytes.size() && bytes.compare(at, 4, "data") != 0)
        at += 8 + le32(at + 4) + (le32(at + 4) & 1);
    bytes.insert(at,
        std::string("note\x05\x00\x00\x00"
                    "abcde\x00",
            14));
    uint32_t const riff = le32(4) + 14;
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<char>(riff >> (8 * i));
    return bytes;
}

// A failure reported on exactly one line of standard error.
inline bool one_line_error(testing_support::CommandResult const& r)
{
    return r.exit_code != 0 && !r.error.empty() && r.error.find('\n') == r.error.size() - 1;
}

} // namespace cli_test
