#pragma once

#include "Commands.h"

#include <array>
#include <core/Strings.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

// The one reading of the command line's numbers and choices: a command declares its options, and parse
// fills them in and hands back the other arguments, or says in one line what is wrong.
class Options {
public:
    // A number from `min` to `max`; `meaning` completes "--NAME must be ...".
    Options& number(std::string name, double& value, double min, double max, std::string meaning);
    Options& integer(std::string name, int32_t& value, int32_t min, int32_t max, std::string meaning);
    // One of `names`, compared exactly.
    Options& choice(std::string name, std::string& value, std::vector<std::string> names);
    Options& text(std::string name, std::string& value);
    Options& flag(std::string name, bool& value);

    bool parse(Arguments const& arguments, std::vector<std::string>& places, std::string& problem) const;

private:
    struct Option {
        std::string name;
        bool takes_value;
        // Answers the problem with the value, or empty when it was taken.
        std::function<std::string(std::string const&)> take;
    };
    std::vector<Option> options_;
};

// The whole text as a number from `min` to `max`.
bool parse_number(std::string const& text, double min, double max, double& value);
bool is_one_of(std::string const& value, std::vector<std::string> const& names);
// "A, B or C".
std::string either(std::vector<std::string> const& names);

template <size_t N> std::vector<std::string> names_of(std::array<core::StringView, N> const& names)
{
    std::vector<std::string> out;
    for (auto const& name : names)
        out.push_back(core::to_utf8(name));
    return out;
}

} // namespace cli
