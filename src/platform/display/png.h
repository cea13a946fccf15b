#pragma once

#include <cstdint>
#include <string>
#include <vector>

// PNG files: the pictures of skin sources, and rendered frames written for people and tests to look at.
namespace platform {

// An 8-bit picture, top row first: RGB (3 channels) or RGBA (4).
struct PngPicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t channels = 3;
    std::vector<uint8_t> pixels; // width * height * channels
};

// The largest side read or written.
constexpr int32_t PNG_MAX_SIDE = 16384;

// Reads a PNG of any colour type, converted to `channels` (3 or 4). False, with the reason in `error`,
// when the file cannot be read or decoded or a side is 0 or above PNG_MAX_SIDE.
bool read_png(std::string const& path, int32_t channels, PngPicture& picture, std::string& error);

// False when the picture does not hold together or the file cannot be written.
bool write_png(std::string const& path, PngPicture const& picture);

} // namespace platform
