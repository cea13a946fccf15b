// The sound server's devices: listing them, and choosing one by name for a recording or a playback.
#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <platform/wave/wave.h>

namespace cli {

namespace {

bool offered(std::vector<std::string> const& names, std::string const& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

int devices_command(Arguments const& arguments)
{
    if (!arguments.empty())
        return fail(EXIT_USAGE, "usage: ravelin-cli devices");
    // One device a line, its kind first: a name may hold spaces but never a tab.
    for (auto const& name : platform::wave_input_devices())
        std::printf("capture\t%s\n", name.c_str());
    for (auto const& name : platform::wave_output_devices())
        std::printf("playback\t%s\n", name.c_str());
    return EXIT_OK;
}

bool choose_device(DeviceKind kind, std::string const& name, std::string& problem)
{
    bool const capture = kind == DeviceKind::CAPTURE;
    auto const names = capture ? platform::wave_input_devices() : platform::wave_output_devices();
    if (!offered(names, name)) {
        problem = std::string("the sound server offers no ") + (capture ? "capture" : "playback") + " device named '"
            + name + "' (ravelin-cli devices lists them)";
        return false;
    }
    // The server's device, whatever RAVELIN_AUDIO_IN or RAVELIN_AUDIO_OUT named.
    if (capture) {
        platform::select_wave_input("sdl");
        platform::set_wave_input_device(name);
    } else {
        platform::select_wave_output("sdl");
        platform::set_wave_output_device(name);
    }
    return true;
}

} // namespace cli
