#pragma once

#include <string>
#include <vector>

namespace skinc {

// One language of a contact sheet: its language file and the sample content drawn with it.
struct SheetLanguage {
    std::string lng;
    std::string sample;
};

// Draws every preview of each language's sample at 240x320@96, 480x640@192 and 640x480@192 into one
// PNG: a band per language and size, the previews side by side, each under its name. False with the
// reason when a skin, language, sample or form fails.
bool write_sheet(std::string const& skin, std::vector<SheetLanguage> const& languages, std::string const& output,
    std::string& error);

} // namespace skinc
