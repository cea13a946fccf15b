#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skinc {

// A picture as the skin compiler sees it: 8-bit RGBA, top row first.
struct Rgba {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels; // width * height * 4
};

// Reads a PNG file of any colour type (platform::read_png); throws CompileError when it cannot.
Rgba read_png(std::string const& path);

// The 565 pixel of the render surface: fully transparent-ish pixels (alpha below 128) become the key
// 0xF81F, every other pixel is opaque and carries the opaque bit 0x0020.
uint16_t to_skin_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);

// Writes a 16-bit BMP (bottom-up rows, 565 bit fields) of the picture's pixels in skin form.
void write_bmp565(std::string const& path, Rgba const& picture);

} // namespace skinc
