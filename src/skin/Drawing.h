#pragma once

#include "Color.h"
#include "Point.h"

namespace skin {

class Bitmap565;
class Blitter;
class RenderSurface;
struct PictureRef;

// The drawing primitives. All of them stay inside the surface's clip and its bitmap, and do nothing on
// a surface without a bitmap.

void fill(RenderSurface& surface, Point origin, Point size, Color color);
// The same rectangle filled through a blitter: with a transparency blitter a colour without the opaque
// bit is added to a fraction of what is there, so black darkens it.
void fill(RenderSurface& surface, Point origin, Point size, Color color, Blitter const& blitter);

// Copies `size` pixels of `src` from `src_point` to `dst_point`. Nothing when the size is not positive
// or the source rectangle leaves the source bitmap; clipping moves the source start along.
void blit(
    RenderSurface& dst, Point dst_point, Point size, Bitmap565 const& src, Point src_point, Blitter const& blitter);

// Nearest-neighbour scaling of the source rectangle onto the destination rectangle (10-bit fixed-point
// steps).
void stretch_blit(RenderSurface& dst, Point dst_point, Point dst_size, Bitmap565 const& src, Point src_point,
    Point src_size, Blitter const& blitter);

// Nine-grid drawing: the corners as they are, the middle row and column repeated to fill `size`; a size
// not larger than the corners cuts them, keeping one middle pixel. With scale_shift 1 every source pixel is a 2 x 2
// block. A reference whose corners do not lie inside its picture draws nothing.
void draw_picture(RenderSurface& surface, Point origin, Point size, PictureRef const& picture, Blitter const& blitter);

} // namespace skin
