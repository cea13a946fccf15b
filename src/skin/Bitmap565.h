#pragma once

#include <cstdint>
#include <memory>

namespace skin {

// 16-bit RGB 565 pixels, top row first. 0xF81F is the transparent key; bit 0x0020 (the lowest green bit)
// marks an opaque pixel for the transparency blitters. Rows are padded to 4 bytes so that spans can be
// filled two pixels at a time.
class Bitmap565 {
public:
    static constexpr uint16_t KEY = 0xF81F;
    static constexpr uint16_t OPAQUE = 0x0020;

    // Contents undefined. A size that is not positive, or too large to address, gives an empty bitmap.
    Bitmap565(int32_t width, int32_t height);
    Bitmap565(Bitmap565 const&) = delete;
    Bitmap565& operator=(Bitmap565 const&) = delete;

    static int32_t stride_for(int32_t width) { return (width * 2 + 3) & ~3; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return stride_; }
    bool empty() const { return width_ == 0 || height_ == 0; }

    uint16_t* row(int32_t y) { return reinterpret_cast<uint16_t*>(bytes_.get() + static_cast<ptrdiff_t>(y) * stride_); }
    uint16_t const* row(int32_t y) const
    {
        return reinterpret_cast<uint16_t const*>(bytes_.get() + static_cast<ptrdiff_t>(y) * stride_);
    }
    uint16_t& at(int32_t x, int32_t y) { return row(y)[x]; }
    uint16_t at(int32_t x, int32_t y) const { return row(y)[x]; }
    uint16_t* pixels() { return row(0); }

    // A copy in which every transparent pixel takes `background` and counts as opaque, so that every
    // blitter keeps it: the picture as it looks laid on a plain colour.
    std::unique_ptr<Bitmap565> over_background(uint16_t background) const;

    // The largest side accepted; larger requests give an empty bitmap rather than an overflow.
    static constexpr int32_t MAX_SIDE = 16384;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t stride_ = 0;
    std::unique_ptr<uint8_t[]> bytes_;
};

} // namespace skin
