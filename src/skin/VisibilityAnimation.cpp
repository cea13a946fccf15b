#include "VisibilityAnimation.h"

#include "Blitter.h"
#include "Drawing.h"

#include <cmath>
#include <numbers>

namespace skin {

namespace {

// A picture drawn w x h wide and high, centred in W x H at origin.
void draw_centred(RenderSurface& target, Point origin, RenderSurface const& picture, Point size, Blitter const& blitter)
{
    Bitmap565 const* bitmap = picture.bitmap();
    if (!bitmap || size.x <= 0 || size.y <= 0)
        return;
    Point const full = picture.size();
    Point const at = origin + Point { (full.x - size.x) / 2, (full.y - size.y) / 2 };
    stretch_blit(target, at, size, *bitmap, {}, full, blitter);
}

// Truncation toward zero of a product that stays well inside 32 bits for any picture size.
int32_t trunc_of(double value)
{
    return static_cast<int32_t>(std::trunc(value));
}

} // namespace

VisibilityAnimation::VisibilityAnimation(Kind kind, Side side)
    : kind_(kind)
    , side_(side)
{
}

std::unique_ptr<VisibilityAnimation> VisibilityAnimation::from_name(core::StringView name)
{
    if (name == u"scale")
        return std::make_unique<VisibilityAnimation>(Kind::SCALE);
    if (name == u"pop")
        return std::make_unique<VisibilityAnimation>(Kind::POP);
    if (name == u"right")
        return std::make_unique<VisibilityAnimation>(Kind::SLIDE, Side::RIGHT);
    if (name == u"bottom")
        return std::make_unique<VisibilityAnimation>(Kind::SLIDE, Side::BOTTOM);
    if (name == u"left")
        return std::make_unique<VisibilityAnimation>(Kind::SLIDE, Side::LEFT);
    if (name == u"top")
        return std::make_unique<VisibilityAnimation>(Kind::SLIDE, Side::TOP);
    if (name == u"flip")
        return std::make_unique<VisibilityAnimation>(Kind::FLIP);
    return nullptr;
}

void VisibilityAnimation::start(int32_t direction)
{
    direction_ = direction > 0 ? 1 : -1;
    t_ = direction_ > 0 ? 0.0 : 1.0;
}

bool VisibilityAnimation::tick(double seconds)
{
    // A tick that is not a positive time (a clock gone wrong) must not leave t undefined.
    if (!running() || !(seconds > 0))
        return false;
    t_ += direction_ * speed_ * seconds * 5;
    if (direction_ > 0 && t_ >= 1) {
        t_ = 1;
        stop();
        return true;
    }
    if (direction_ < 0 && t_ <= 0) {
        t_ = 0;
        stop();
        return true;
    }
    return false;
}

void VisibilityAnimation::stop()
{
    direction_ = 0;
    old_.recreate({});
    new_.recreate({});
}

double VisibilityAnimation::scale_at(double t) const
{
    if (kind_ != Kind::POP)
        return t * t;
    double const a = 1.5 * std::numbers::pi * t;
    return 1 - std::cos(a) / (a + 1);
}

void VisibilityAnimation::draw(RenderSurface& target, Point origin, Blitter const& blitter) const
{
    switch (kind_) {
    case Kind::SCALE:
    case Kind::POP:
        draw_scaled(target, origin, blitter);
        break;
    case Kind::SLIDE:
        draw_slide(target, origin, blitter);
        break;
    case Kind::FLIP:
        draw_flip(target, origin, blitter);
        break;
    }
}

void VisibilityAnimation::draw_scaled(RenderSurface& target, Point origin, Blitter const& blitter) const
{
    old_.blit_to(target, origin, plain_blitter());
    Point const full = new_.size();
    double const f = scale_at(t_);
    draw_centred(target, origin, new_, { trunc_of(full.x * f), trunc_of(full.y * f) }, blitter);
}

void VisibilityAnimation::draw_slide(RenderSurface& target, Point origin, Blitter const& blitter) const
{
    Point const full = new_.size();
    ClipGuard const clip(target, origin, full);
    double const left = 1 - t_;
    Point old_at, new_at;
    switch (side_) {
    case Side::RIGHT: {
        int32_t const d = trunc_of(left * full.x);
        old_at = { d - full.x, 0 };
        new_at = { d, 0 };
        break;
    }
    case Side::BOTTOM: {
        int32_t const d = trunc_of(left * full.y);
        old_at = { 0, d - full.y };
        new_at = { 0, d };
        break;
    }
    case Side::LEFT: {
        int32_t const d = trunc_of(left * -full.x);
        old_at = { full.x + d, 0 };
        new_at = { d, 0 };
        break;
    }
    case Side::TOP: {
        int32_t const d = trunc_of(left * -full.y);
        old_at = { 0, full.y + d };
        new_at = { 0, d };
        break;
    }
    }
    old_.blit_to(target, origin + old_at, plain_blitter());
    new_.blit_to(target, origin + new_at, blitter);
}

// A card turning about its vertical axis: the old picture narrows to a line in the first half, the new
// one widens from the line in the second half.
void VisibilityAnimation::draw_flip(RenderSurface& target, Point origin, Blitter const& blitter) const
{
    double const c = std::cos(std::numbers::pi * t_);
    if (t_ < 0.5) {
        Point const full = old_.size();
        draw_centred(target, origin, old_, { trunc_of(full.x * c), full.y }, plain_blitter());
    } else {
        Point const full = new_.size();
        draw_centred(target, origin, new_, { trunc_of(full.x * -c), full.y }, blitter);
    }
}

} // namespace skin
