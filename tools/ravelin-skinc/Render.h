#pragma once

#include <cstdint>
#include <ostream>
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
    std::string lng; // a language file for the texts; none shows the skin's keys
    std::string sample; // sample content (see Preview.h); with it, ENTRY may name a preview
    bool rects = false; // print the laid-out rectangles of the elements with an id
};

// Reads "WxH" or "WxH@DPI" (sides 1 to 16384, dpi 1 to 9999) into the request.
bool parse_size(std::string const& text, RenderRequest& request);

// Loads the skin, builds the entry's element tree through the registry of the fifteen element types,
// lays it out over the window, paints it onto black and writes the picture as a PNG. With a language
// file or sample content the entry is shown as the program shows it, as a form on a form stack (popups
// over the form the sample names), with its animations played to their end. False, with the reason,
// when any of that fails.
bool render_entry(RenderRequest const& request, std::ostream& rects, std::string& error);

} // namespace skinc
