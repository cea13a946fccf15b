#include "DiagnosticOverlay.h"

#include "Blitter.h"
#include "Drawing.h"
#include "FontRep.h"
#include "RenderSurface.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace skin {

namespace {

std::atomic<bool> overlay_enabled { false };

// The box darkens what is under it by half (alpha 128).
constexpr int32_t BOX_ALPHA = 128;

uint8_t channel(double fraction)
{
    return static_cast<uint8_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255));
}

} // namespace

DiagnosticOverlay::DiagnosticOverlay() = default;
DiagnosticOverlay::~DiagnosticOverlay() = default;

void DiagnosticOverlay::set_enabled(bool enabled)
{
    overlay_enabled = enabled;
}

bool DiagnosticOverlay::enabled()
{
    return overlay_enabled;
}

void DiagnosticOverlay::count_frame(uint32_t now)
{
    if (started_) {
        intervals_[next_] = now - last_;
        next_ = (next_ + 1) % FRAMES;
        count_ = std::min(count_ + 1, FRAMES);
    }
    last_ = now;
    started_ = true;
}

double DiagnosticOverlay::average_ms() const
{
    if (count_ == 0)
        return 0;
    uint64_t sum = 0;
    for (size_t i = 0; i < count_; ++i)
        sum += intervals_[i];
    return double(sum) / double(count_);
}

core::String DiagnosticOverlay::text(double average_ms, bool redrawn, int64_t pixels)
{
    int64_t const tenths = std::llround(std::clamp(average_ms, 0.0, 1e9) * 10);
    core::String out;
    if (redrawn)
        out += u"[";
    out += core::decimal(tenths / 10) + u"." + core::decimal(tenths % 10) + u" ms";
    if (redrawn)
        out += u"]";
    out += u" " + core::decimal(std::max<int64_t>(pixels, 0) / 1000) + u" Kp";
    return out;
}

Color DiagnosticOverlay::text_color(double average_ms)
{
    // Green to yellow from 20 to 40 ms, yellow to red from 40 to 60 ms.
    if (average_ms < 40)
        return { channel((average_ms - 20) / 20), 255, 0, 255 };
    return { 255, channel((60 - average_ms) / 20), 0, 255 };
}

void DiagnosticOverlay::draw(RenderSurface& surface, bool redrawn)
{
    if (!font_) {
        FontDesc desc;
        desc.size = 10;
        font_ = std::make_unique<FontRep>(desc);
    }
    fill(surface, {}, { WIDTH, HEIGHT }, Color {}, alpha_blitter(BOX_ALPHA));
    double const average = average_ms();
    TextStyle const style { text_color(average), HAlign::LEFT, VAlign::VCENTER, false };
    font_->draw_text(
        surface, text(average, redrawn, RenderSurface::owned_pixels()), { 2, 0 }, { WIDTH - 4, HEIGHT }, style);
}

} // namespace skin
