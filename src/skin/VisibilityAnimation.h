#pragma once

#include "Point.h"
#include "RenderSurface.h"

#include <core/Strings.h>

#include <cstdint>
#include <memory>

namespace skin {

class Blitter;

// A show or hide transition between two pictures: the old one (empty for an element; the screen left
// behind for a form transition) and the new one (the element's own rendering). Progress t runs from 0
// (old picture) to 1 (new picture) while showing and back while hiding, five units a second at speed
// 1, so a transition lasts 0.2 s. The pictures are owned while it runs and released when it stops.
// Threads: main thread only.
class VisibilityAnimation {
public:
    enum class Kind { SCALE, POP, SLIDE, FLIP };
    // Slides: the side the new picture comes in from, by the skin's codes.
    enum class Side { RIGHT = 0, BOTTOM = 1, LEFT = 2, TOP = 3 };

    VisibilityAnimation(Kind kind, Side side = Side::RIGHT);

    // "scale", "pop", "right", "bottom", "left", "top" or "flip"; null for any other name.
    static std::unique_ptr<VisibilityAnimation> from_name(core::StringView name);

    Kind kind() const { return kind_; }
    Side side() const { return side_; }
    double progress() const { return t_; }
    double speed() const { return speed_; }
    // +1 showing, -1 hiding, 0 idle.
    int32_t direction() const { return direction_; }
    bool running() const { return direction_ != 0; }

    // Begins at t = 0 when showing (direction > 0), t = 1 when hiding.
    void start(int32_t direction);
    void reverse() { direction_ = -direction_; }
    // Advances t; true when this tick ended the animation (its pictures are then released).
    bool tick(double seconds);
    // Ends at once, releasing the pictures.
    void stop();

    RenderSurface& old_picture() { return old_; }
    RenderSurface& new_picture() { return new_; }

    // The frame at the current progress at `origin`: the old picture through the plain blitter, the
    // new one through `blitter` (the element's cache blitter).
    void draw(RenderSurface& target, Point origin, Blitter const& blitter) const;

    // The scale of the new picture at progress t: t squared, or for "pop" a curve that overshoots
    // before settling at 1.
    double scale_at(double t) const;

private:
    void draw_scaled(RenderSurface& target, Point origin, Blitter const& blitter) const;
    void draw_slide(RenderSurface& target, Point origin, Blitter const& blitter) const;
    void draw_flip(RenderSurface& target, Point origin, Blitter const& blitter) const;

    Kind kind_;
    Side side_;
    double t_ = 0;
    double speed_ = 1.0;
    int32_t direction_ = 0;
    RenderSurface old_;
    RenderSurface new_;
};

} // namespace skin
