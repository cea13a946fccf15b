#include "Options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace cli {

bool parse_number(std::string const& text, double min, double max, double& value)
{
    double parsed = 0;
    auto const* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(parsed) || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool is_one_of(std::string const& value, std::vector<std::string> const& names)
{
    return std::find(names.begin(), names.end(), value) != names.end();
}

std::string either(std::vector<std::string> const& names)
{
    std::string out;
    for (size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return out;
}

Options& Options::number(std::string name, double& value, double min, double max, std::string meaning)
{
    options_.push_back({ name, true, [=, &value](std::string const& text) {
                            return parse_number(text, min, max, value)
                                ? std::string()
                                : name + " must be " + meaning + ", not '" + text + "'";
                        } });
    return *this;
}

Options& Options::integer(std::string name, int32_t& value, int32_t min, int32_t max, std::string meaning)
{
    options_.push_back({ name, true, [=, &value](std::string const& text) {
                            double number = 0;
                            if (!parse_number(text, min, max, number) || number != std::floor(number))
                                return name + " must be " + meaning + ", not '" + text + "'";
                            value = static_cast<int32_t>(number);
                            return std::string();
                        } });
    return *this;
}

Options& Options::choice(std::string name, std::string& value, std::vector<std::string> names)
{
    options_.push_back({ name, true, [=, &value](std::string const& text) {
                            if (!is_one_of(text, names))
                                return name + " must be " + either(names) + ", not '" + text + "'";
                            value = text;
                            return std::string();
                        } });
    return *this;
}

Options& Options::text(std::string name, std::string& value)
{
    options_.push_back({ name, true, [&value](std::string const& text) {
                            value = text;
                            return std::string();
                        } });
    return *this;
}

Options& Options::flag(std::string name, bool& value)
{
    options_.push_back({ name, false, [&value](std::string const&) {
                            value = true;
                            return std::string();
                        } });
    return *this;
}

bool Options::parse(Arguments const& arguments, std::vector<std::string>& places, std::string& problem) const
{
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string const& argument = arguments[i];
        if (!argument.starts_with("--")) {
            places.push_back(argument);
            continue;
        }
        auto const option
            = std::find_if(options_.begin(), options_.end(), [&](Option const& o) { return o.name == argument; });
        if (option == options_.end()) {
            problem = "unknown option '" + argument + "'";
            return false;
        }
        if (option->takes_value && i + 1 >= arguments.size()) {
            problem = argument + " needs a value";
            return false;
        }
        problem = option->take(option->takes_value ? arguments[++i] : std::string());
        if (!problem.empty())
            return false;
    }
    return true;
}

} // namespace cli
