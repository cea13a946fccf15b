#pragma once

#include <cstdint>
#include <string>

namespace skinc {

// What --render draws: one top-level entry of a binary skin, laid out at a window size and dpi.
struct RenderRequest {
    std::string skin;
    std::string entry;
    int32_t width = 0;
    int32_t height = 0;
    int32_t dpi = 96;
    std::string output;
};

// Reads "WxH" or "WxH@DPI" (sides 1 to 16384, dpi 1 to 9999) into the request.
bool parse_size(std::string const& text, RenderRequest& request);

// Loads the skin, builds the entry's element tree through the registry of the fourteen element types,
// lays it out over the window, paints it onto black and writes the picture as a PNG. False, with the
// reason, when any of that fails.
bool render_entry(RenderRequest const& request, std::string& error);

} // namespace skinc
