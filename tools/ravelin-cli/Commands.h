#pragma once

#include <string>
#include <vector>

namespace cli {

using Arguments = std::vector<std::string>;

// Every command answers the process's exit code.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_ = 1; // the command could not do its work
constexpr int EXIT_USAGE = 2; // the command line was wrong

struct Command {
    char const* name;
    char const* usage;
    char const* summary;
    int (*run)(Arguments const& arguments);
};

// One line on standard error, "ravelin-cli: " + message; answers `code`.
int fail(int code, std::string const& message);

int settings_command(Arguments const& arguments);
int encode_command(Arguments const& arguments);
int tag_command(Arguments const& arguments);
int info_command(Arguments const& arguments);
int play_command(Arguments const& arguments);
int devices_command(Arguments const& arguments);

// The sound server's device of that name becomes the microphone (capture) or the speaker of what
// follows; false, with the problem in one line, when the server offers none of that name.
enum class DeviceKind { CAPTURE, PLAYBACK };
bool choose_device(DeviceKind kind, std::string const& name, std::string& problem);
int record_command(Arguments const& arguments);
int append_command(Arguments const& arguments);
int list_command(Arguments const& arguments);
int rescan_command(Arguments const& arguments);
int rename_command(Arguments const& arguments);
int delete_command(Arguments const& arguments);

} // namespace cli
