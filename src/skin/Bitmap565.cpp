#include "Bitmap565.h"

#include <new>

namespace skin {

Bitmap565::Bitmap565(int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0 || width > MAX_SIDE || height > MAX_SIDE)
        return;
    int32_t const stride = stride_for(width);
    // Allocation failure leaves the bitmap empty: drawing into it then does nothing.
    bytes_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(stride) * static_cast<size_t>(height)]);
    if (!bytes_)
        return;
    width_ = width;
    height_ = height;
    stride_ = stride;
}

std::unique_ptr<Bitmap565> Bitmap565::over_background(uint16_t background) const
{
    auto copy = std::make_unique<Bitmap565>(width_, height_);
    uint16_t const fill = background | OPAQUE;
    for (int32_t y = 0; y < copy->height(); ++y)
        for (int32_t x = 0; x < copy->width(); ++x) {
            uint16_t const pixel = at(x, y);
            copy->at(x, y) = pixel == KEY ? fill : pixel;
        }
    return copy;
}

} // namespace skin
