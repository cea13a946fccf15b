#pragma once

#include "Bitmap565.h"
#include "Point.h"

#include <cstdint>
#include <memory>

namespace skin {

class Blitter;

// A clip rectangle; max exclusive.
struct ClipRect {
    int32_t min_x = 0;
    int32_t min_y = 0;
    int32_t max_x = 0;
    int32_t max_y = 0;

    bool empty() const { return max_x <= min_x || max_y <= min_y; }
    friend bool operator==(ClipRect const&, ClipRect const&) = default;
};

// A 565 bitmap to draw into, with a clip rectangle. The bitmap is either owned (created by recreate) or
// someone else's (the screen's back buffer). Drawing into a surface without a bitmap does nothing.
// Threads: main thread only.
class RenderSurface {
public:
    RenderSurface() = default;
    explicit RenderSurface(Point size);
    // Draws into a bitmap that stays its owner's (not owned, must outlive the surface).
    explicit RenderSurface(Bitmap565* target);
    ~RenderSurface();
    RenderSurface(RenderSurface const&) = delete;
    RenderSurface& operator=(RenderSurface const&) = delete;

    // A new owned bitmap of the size (contents undefined), clip reset to all of it; 0 x 0 releases the
    // memory. False when the size is already the owned bitmap's (or 0 x 0 without one). Fatal while a
    // ClipGuard is in force.
    bool recreate(Point size);

    Point size() const;
    Bitmap565* bitmap() { return target_; }
    Bitmap565 const* bitmap() const { return target_; }
    ClipRect const& clip() const { return clip_; }
    int32_t clip_depth() const { return clip_depth_; }

    // Copies this surface's whole bitmap onto `target` at `origin`, within the target's clip.
    void blit_to(RenderSurface& target, Point origin, Blitter const& blitter) const;

    // Total pixels of the owned bitmaps of all surfaces (diagnostics).
    static int64_t owned_pixels();

private:
    friend class ClipGuard;

    ClipRect clip_;
    int32_t clip_depth_ = 0;
    Bitmap565* target_ = nullptr;
    std::unique_ptr<Bitmap565> owned_;
};

// Narrows a surface's clip to [origin, origin + size) for its lifetime; restores it afterwards.
class ClipGuard {
public:
    ClipGuard(RenderSurface& surface, Point origin, Point size);
    ~ClipGuard();
    ClipGuard(ClipGuard const&) = delete;
    ClipGuard& operator=(ClipGuard const&) = delete;

private:
    RenderSurface& surface_;
    ClipRect saved_;
};

} // namespace skin
