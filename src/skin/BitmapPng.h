#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skin {

class Bitmap565;

// The picture's 565 pixels widened to 8 bits a channel (the top bits repeated into the low ones), RGB,
// top row first.
std::vector<uint8_t> widen_565(Bitmap565 const& bitmap);

// Writes the picture as an 8-bit RGB PNG file; false when it cannot.
bool write_png(Bitmap565 const& bitmap, std::string const& path);

} // namespace skin
