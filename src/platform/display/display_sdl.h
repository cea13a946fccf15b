#pragma once

#include "display.h"

// The SDL2 backend of the display; internal to the platform layer.
namespace platform {

std::unique_ptr<Display> create_sdl_display();
// SDL's message box over the open window; nothing when SDL's video is not running.
void sdl_message_box(std::string const& text, std::string const& caption);

} // namespace platform
