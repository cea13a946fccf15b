#include "BitmapPng.h"

#include "Bitmap565.h"

#include <platform/display/png.h>

namespace skin {

std::vector<uint8_t> widen_565(Bitmap565 const& bitmap)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(size_t(bitmap.width()) * size_t(bitmap.height()) * 3);
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x) {
            uint16_t const p = bitmap.at(x, y);
            uint32_t const r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
            rgb.push_back(static_cast<uint8_t>(r << 3 | r >> 2));
            rgb.push_back(static_cast<uint8_t>(g << 2 | g >> 4));
            rgb.push_back(static_cast<uint8_t>(b << 3 | b >> 2));
        }
    return rgb;
}

bool write_png(Bitmap565 const& bitmap, std::string const& path)
{
    return platform::write_png(path, { bitmap.width(), bitmap.height(), 3, widen_565(bitmap) });
}

} // namespace skin
