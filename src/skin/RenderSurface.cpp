#include "RenderSurface.h"

#include "Drawing.h"

#include <algorithm>
#include <atomic>
#include <core/Log.h>

namespace skin {

namespace {

std::atomic<int64_t> owned_pixel_count { 0 };

int64_t pixels_of(Bitmap565 const* bitmap)
{
    return bitmap ? int64_t(bitmap->width()) * bitmap->height() : 0;
}

} // namespace

RenderSurface::RenderSurface(Point size)
{
    recreate(size);
}

RenderSurface::RenderSurface(Bitmap565* target)
    : target_(target)
{
    if (target_)
        clip_ = { 0, 0, target_->width(), target_->height() };
}

RenderSurface::~RenderSurface()
{
    owned_pixel_count -= pixels_of(owned_.get());
}

bool RenderSurface::recreate(Point size)
{
    if (owned_ && owned_->width() == size.x && owned_->height() == size.y)
        return false;
    // A size without pixels is 0 x 0.
    if (!target_ && (size.x <= 0 || size.y <= 0))
        return false;
    if (clip_depth_ > 0)
        core::fatal_error(u"RenderSurface::recreate", u"Clip is in effect, cannot resize");
    owned_pixel_count -= pixels_of(owned_.get());
    owned_.reset();
    target_ = nullptr;
    clip_ = {};
    if (size.x > 0 && size.y > 0) {
        auto bitmap = std::make_unique<Bitmap565>(size.x, size.y);
        if (!bitmap->empty()) {
            owned_ = std::move(bitmap);
            target_ = owned_.get();
            clip_ = { 0, 0, size.x, size.y };
            owned_pixel_count += pixels_of(owned_.get());
        }
    }
    return true;
}

Point RenderSurface::size() const
{
    return target_ ? Point { target_->width(), target_->height() } : Point {};
}

void RenderSurface::blit_to(RenderSurface& target, Point origin, Blitter const& blitter) const
{
    if (target_)
        blit(target, origin, size(), *target_, {}, blitter);
}

int64_t RenderSurface::owned_pixels()
{
    return owned_pixel_count.load();
}

ClipGuard::ClipGuard(RenderSurface& surface, Point origin, Point size)
    : surface_(surface)
    , saved_(surface.clip_)
{
    ++surface_.clip_depth_;
    ClipRect const& c = saved_;
    Point const extent = surface_.size();
    int64_t const end_x = int64_t(origin.x) + std::max(size.x, 0);
    int64_t const end_y = int64_t(origin.y) + std::max(size.y, 0);
    ClipRect next;
    next.min_x = std::clamp(std::max(c.min_x, origin.x), 0, std::max(extent.x, 0));
    next.min_y = std::clamp(std::max(c.min_y, origin.y), 0, std::max(extent.y, 0));
    next.max_x = static_cast<int32_t>(std::min<int64_t>({ c.max_x, end_x, extent.x }));
    next.max_y = static_cast<int32_t>(std::min<int64_t>({ c.max_y, end_y, extent.y }));
    // An empty intersection becomes an empty clip at its min corner.
    next.max_x = std::max(next.max_x, next.min_x);
    next.max_y = std::max(next.max_y, next.min_y);
    surface_.clip_ = next;
}

ClipGuard::~ClipGuard()
{
    surface_.clip_ = saved_;
    --surface_.clip_depth_;
}

} // namespace skin
