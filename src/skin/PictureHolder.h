#pragma once

#include "Bitmap565.h"
#include "Point.h"

#include <core/Strings.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace skin {

class Blitter;
class RenderSurface;

// A skin picture: its bitmap and name, shared by the picture table and every PictureRef (a picture
// lives until the last reference is gone, so elements of a replaced skin can still draw).
class PictureHolder {
public:
    PictureHolder(core::String name, std::unique_ptr<Bitmap565> bitmap);

    core::String const& name() const { return name_; }
    Bitmap565 const& bitmap() const { return *bitmap_; }
    Point size() const { return { bitmap_->width(), bitmap_->height() }; }
    // The whole picture at `origin`, as it is (nine-grid drawing goes through a PictureRef).
    void draw(RenderSurface& surface, Point origin, Blitter const& blitter) const;

private:
    core::String name_;
    std::unique_ptr<Bitmap565> bitmap_;
};

using PictureHandle = std::shared_ptr<PictureHolder const>;

// Loads the 16-bit BMP file `name` + ".bmp". Rows are stored bottom-up for a positive height and
// top-down for a negative one; pixel words are taken as 565 values as they are. Null, with a log line,
// when the file cannot be read, is not a 16-bit bitmap or is damaged.
PictureHandle load_565(core::StringView name);

// The same from the bytes of a BMP file; `name` only serves the log lines.
std::unique_ptr<Bitmap565> decode_bmp565(uint8_t const* bytes, size_t size, core::StringView name);

} // namespace skin
