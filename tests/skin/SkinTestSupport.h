#pragma once

#include <TestSupport.h>
#include <core/Log.h>
#include <os/LogFile.h>
#include <skin/Bitmap565.h>
#include <skin/RenderSurface.h>

#include <memory>
#include <string>

namespace skin_testing {

// Captures the log in memory while it lives; the registry-driven log is back afterwards.
using testing_support::LogCapture;

// The folder of the test skins compiled at build time.
inline std::string compiled_skins()
{
    return std::string(RAVELIN_TEST_DATA_DIR) + "/skin/data";
}

inline void fill_bitmap(skin::Bitmap565& bitmap, uint16_t pixel)
{
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            bitmap.at(x, y) = pixel;
}

// The pixel of grid.png at (x, y) as the skin compiler converts it: red 20x, green 20y, opaque.
inline uint16_t grid_pixel(int32_t x, int32_t y)
{
    return static_cast<uint16_t>((((20 * x) & 0xF8) << 8) | (((20 * y) & 0xFC) << 3) | 0x0020);
}

} // namespace skin_testing
