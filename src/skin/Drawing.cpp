#include "Drawing.h"

#include "Bitmap565.h"
#include "Blitter.h"
#include "PictureRef.h"
#include "RenderSurface.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace skin {

namespace {

// The surface's clip within its bitmap: where drawing may land.
ClipRect drawable(RenderSurface const& surface)
{
    Point const extent = surface.size();
    ClipRect c = surface.clip();
    c.min_x = std::max(c.min_x, 0);
    c.min_y = std::max(c.min_y, 0);
    c.max_x = std::min(c.max_x, extent.x);
    c.max_y = std::min(c.max_y, extent.y);
    return c;
}

// [start, start + length) of a destination axis cut to [low, high); the skipped head in `skipped`.
bool clip_axis(int32_t start, int32_t length, int32_t low, int32_t high, int32_t& first, int32_t& end, int32_t& skipped)
{
    int64_t const a = std::max<int64_t>(start, low);
    int64_t const b = std::min<int64_t>(int64_t(start) + length, high);
    if (b <= a)
        return false;
    first = static_cast<int32_t>(a);
    end = static_cast<int32_t>(b);
    skipped = static_cast<int32_t>(a - start);
    return true;
}

bool inside(Bitmap565 const& bitmap, Point point, Point size)
{
    return point.x >= 0 && point.y >= 0 && size.x <= bitmap.width() - point.x && size.y <= bitmap.height() - point.y;
}

} // namespace

void fill(RenderSurface& surface, Point origin, Point size, Color color)
{
    Bitmap565* bitmap = surface.bitmap();
    if (!bitmap || size.x <= 0 || size.y <= 0)
        return;
    ClipRect const c = drawable(surface);
    int32_t x0, x1, y0, y1, skipped;
    if (!clip_axis(origin.x, size.x, c.min_x, c.max_x, x0, x1, skipped)
        || !clip_axis(origin.y, size.y, c.min_y, c.max_y, y0, y1, skipped))
        return;
    uint16_t const pixel = color.to_565();
    // The colour doubled in a 32-bit word fills two pixels at a time.
    uint32_t const twice = uint32_t(pixel) | uint32_t(pixel) << 16;
    for (int32_t y = y0; y < y1; ++y) {
        uint16_t* p = bitmap->row(y) + x0;
        uint16_t* const end = bitmap->row(y) + x1;
        if ((reinterpret_cast<uintptr_t>(p) & 2) && p < end)
            *p++ = pixel;
        for (; end - p >= 2; p += 2)
            std::memcpy(p, &twice, sizeof twice);
        if (p < end)
            *p = pixel;
    }
}

void fill(RenderSurface& surface, Point origin, Point size, Color color, Blitter const& blitter)
{
    Bitmap565* bitmap = surface.bitmap();
    if (!bitmap || size.x <= 0 || size.y <= 0)
        return;
    ClipRect const c = drawable(surface);
    int32_t x0, x1, y0, y1, skipped;
    if (!clip_axis(origin.x, size.x, c.min_x, c.max_x, x0, x1, skipped)
        || !clip_axis(origin.y, size.y, c.min_y, c.max_y, y0, y1, skipped))
        return;
    std::vector<uint16_t> const span(static_cast<size_t>(x1 - x0), color.to_565());
    for (int32_t y = y0; y < y1; ++y) {
        uint16_t* row = bitmap->row(y);
        blitter.copy_span(row + x0, row + x1, span.data(), y);
    }
}

void blit(
    RenderSurface& dst, Point dst_point, Point size, Bitmap565 const& src, Point src_point, Blitter const& blitter)
{
    Bitmap565* bitmap = dst.bitmap();
    if (!bitmap || size.x <= 0 || size.y <= 0 || !inside(src, src_point, size))
        return;
    ClipRect const c = drawable(dst);
    int32_t x0, x1, y0, y1, skip_x, skip_y;
    if (!clip_axis(dst_point.x, size.x, c.min_x, c.max_x, x0, x1, skip_x)
        || !clip_axis(dst_point.y, size.y, c.min_y, c.max_y, y0, y1, skip_y))
        return;
    for (int32_t y = y0; y < y1; ++y) {
        uint16_t* row = bitmap->row(y);
        uint16_t const* from = src.row(src_point.y + skip_y + (y - y0)) + src_point.x + skip_x;
        blitter.copy_span(row + x0, row + x1, from, y);
    }
}

void stretch_blit(RenderSurface& dst, Point dst_point, Point dst_size, Bitmap565 const& src, Point src_point,
    Point src_size, Blitter const& blitter)
{
    Bitmap565* bitmap = dst.bitmap();
    if (!bitmap || dst_size.x <= 0 || dst_size.y <= 0 || src_size.x <= 0 || src_size.y <= 0
        || !inside(src, src_point, src_size))
        return;
    uint32_t const step_x = static_cast<uint32_t>((int64_t(src_size.x) * 1024) / dst_size.x);
    uint32_t const step_y = static_cast<uint32_t>((int64_t(src_size.y) * 1024) / dst_size.y);
    ClipRect const c = drawable(dst);
    int32_t x0, x1, y0, y1, skip_x, skip_y;
    if (!clip_axis(dst_point.x, dst_size.x, c.min_x, c.max_x, x0, x1, skip_x)
        || !clip_axis(dst_point.y, dst_size.y, c.min_y, c.max_y, y0, y1, skip_y))
        return;
    uint32_t const pos_x = static_cast<uint32_t>(src_point.x) * 1024 + static_cast<uint32_t>(skip_x) * step_x;
    for (int32_t y = y0; y < y1; ++y) {
        uint32_t const r = static_cast<uint32_t>(y - dst_point.y);
        int32_t const src_y = static_cast<int32_t>((static_cast<uint32_t>(src_point.y) * 1024 + r * step_y) >> 10);
        uint16_t* row = bitmap->row(y);
        blitter.scale_span(row + x0, row + x1, src.row(src_y), pos_x, step_x);
    }
}

namespace {

// One axis of a nine-grid drawing: up to three runs (head, middle, tail) of destination pixels with the
// source index (scaled by 2^shift) of their first pixel; the middle repeats [wrap_start, wrap_end).
struct Run {
    int32_t dst = 0;
    int32_t length = 0;
    int32_t src = 0;
    bool tiled = false;
};

struct AxisPlan {
    Run runs[3];
    int count = 0;
    int32_t wrap_start = 0;
    int32_t wrap_end = 0;
};

AxisPlan plan_axis(int32_t start, int32_t length, int32_t const (&x)[4], int32_t unit, int32_t low, int32_t high)
{
    AxisPlan plan;
    int32_t const head = x[1] - x[0];
    int32_t const tail = x[3] - x[2];
    int32_t h, t;
    if (int64_t(length) > int64_t(head) + tail) {
        h = head;
        t = tail;
    } else {
        // Both ends are cut; what is left is one middle pixel.
        h = length / 2;
        t = (length - 1) / 2;
        if (h > head) {
            t += h - head;
            h = head;
        }
        if (t > tail) {
            h += t - tail;
            t = tail;
        }
    }
    int32_t const m = length - h - t;
    // An empty middle repeats the column at its start (or the last one) rather than nothing.
    plan.wrap_start = x[1];
    plan.wrap_end = x[2];
    if (plan.wrap_end <= plan.wrap_start) {
        plan.wrap_start = std::max(std::min(x[1], x[3] - unit), x[0]);
        plan.wrap_end = std::min(plan.wrap_start + unit, x[3]);
    }
    Run const planned[3] = {
        { start, h, x[0], false },
        { start + h, m, plan.wrap_start, true },
        { start + h + m, t, x[3] - t, false },
    };
    int32_t const period = plan.wrap_end - plan.wrap_start;
    for (Run run : planned) {
        int32_t first, end, skipped;
        if (run.length <= 0 || !clip_axis(run.dst, run.length, low, high, first, end, skipped))
            continue;
        run.dst = first;
        run.length = end - first;
        run.src = run.tiled
            ? plan.wrap_start + static_cast<int32_t>((int64_t(run.src - plan.wrap_start) + skipped) % period)
            : run.src + skipped;
        plan.runs[plan.count++] = run;
    }
    return plan;
}

bool corners_fit(PictureRef const& picture, Bitmap565 const& bitmap)
{
    auto const& c = picture.corners;
    for (int i = 0; i < 3; ++i)
        if (c[i].x > c[i + 1].x || c[i].y > c[i + 1].y)
            return false;
    int32_t const s = picture.scale_shift;
    return c[0].x >= 0 && c[0].y >= 0 && c[3].x > c[0].x && c[3].y > c[0].y
        && int64_t(c[3].x) <= (int64_t(bitmap.width()) << s) && int64_t(c[3].y) <= (int64_t(bitmap.height()) << s);
}

} // namespace

namespace {

// The repeated middle of wide nine-grid rows, laid out once per source row: the middle of a row is then
// one span copy rather than one per repetition of the middle columns. Pixel for pixel the same as
// tile_span.
class ExpandedMiddle {
public:
    static constexpr int32_t MIN_LENGTH = 64;
    static constexpr int64_t MAX_PIXELS = 1 << 20;

    ExpandedMiddle(Bitmap565 const& src, Run const& run, AxisPlan const& plan, int32_t shift, int32_t rows)
        : src_(src)
        , run_(run)
        , plan_(plan)
        , shift_(shift)
        , slots_(static_cast<size_t>(rows), -1)
    {
    }

    // Worth it when the middle repeats often and the rows stay small.
    static bool suits(Run const& run, AxisPlan const& plan, int32_t rows)
    {
        int32_t const period = plan.wrap_end - plan.wrap_start;
        return run.tiled && run.length >= MIN_LENGTH && run.length >= 2 * period
            && int64_t(rows) * run.length <= MAX_PIXELS;
    }

    uint16_t const* row(int32_t source_row)
    {
        int32_t& slot = slots_[static_cast<size_t>(source_row)];
        if (slot < 0) {
            slot = static_cast<int32_t>(pixels_.size() / static_cast<size_t>(run_.length));
            pixels_.resize(pixels_.size() + static_cast<size_t>(run_.length));
            expand(src_.row(source_row), pixels_.data() + static_cast<size_t>(slot) * static_cast<size_t>(run_.length));
        }
        return pixels_.data() + static_cast<size_t>(slot) * static_cast<size_t>(run_.length);
    }

private:
    // One period from the source, then doubled until the run is full: the pattern repeats from k = 0.
    void expand(uint16_t const* src_row, uint16_t* out) const
    {
        int32_t const period = plan_.wrap_end - plan_.wrap_start;
        int32_t const first = std::min(period, run_.length);
        for (int32_t k = 0; k < first; ++k)
            out[k] = src_row[(plan_.wrap_start + (run_.src - plan_.wrap_start + k) % period) >> shift_];
        for (int32_t filled = first; filled < run_.length;) {
            int32_t const n = std::min(filled, run_.length - filled);
            std::memcpy(out + filled, out, static_cast<size_t>(n) * sizeof(uint16_t));
            filled += n;
        }
    }

    Bitmap565 const& src_;
    Run const run_;
    AxisPlan const plan_;
    int32_t const shift_;
    std::vector<int32_t> slots_;
    std::vector<uint16_t> pixels_;
};

} // namespace

void draw_picture(RenderSurface& surface, Point origin, Point size, PictureRef const& picture, Blitter const& blitter)
{
    Bitmap565* bitmap = surface.bitmap();
    if (!bitmap || !picture.picture || size.x <= 0 || size.y <= 0 || picture.scale_shift < 0 || picture.scale_shift > 4)
        return;
    Bitmap565 const& src = picture.picture->bitmap();
    if (!corners_fit(picture, src))
        return;
    int32_t const s = picture.scale_shift;
    int32_t const unit = 1 << s;
    auto const& c = picture.corners;
    int32_t const xs[4] = { c[0].x, c[1].x, c[2].x, c[3].x };
    int32_t const ys[4] = { c[0].y, c[1].y, c[2].y, c[3].y };
    ClipRect const clip = drawable(surface);
    AxisPlan const across = plan_axis(origin.x, size.x, xs, unit, clip.min_x, clip.max_x);
    AxisPlan const down = plan_axis(origin.y, size.y, ys, unit, clip.min_y, clip.max_y);
    int32_t const period_y = down.wrap_end - down.wrap_start;
    std::optional<ExpandedMiddle> middle;
    for (int h = 0; h < across.count; ++h)
        if (ExpandedMiddle::suits(across.runs[h], across, src.height()))
            middle.emplace(src, across.runs[h], across, s, src.height());
    for (int v = 0; v < down.count; ++v) {
        Run const& band = down.runs[v];
        for (int32_t k = 0; k < band.length; ++k) {
            int32_t const index
                = band.tiled ? down.wrap_start + (band.src - down.wrap_start + k) % period_y : band.src + k;
            uint16_t const* src_row = src.row(index >> s);
            uint16_t* dst_row = bitmap->row(band.dst + k);
            for (int h = 0; h < across.count; ++h) {
                Run const& run = across.runs[h];
                if (run.tiled && middle)
                    blitter.copy_span(
                        dst_row + run.dst, dst_row + run.dst + run.length, middle->row(index >> s), band.dst + k);
                else if (run.tiled)
                    blitter.tile_span(
                        dst_row + run.dst, src_row, run.src, run.length, s, across.wrap_start, across.wrap_end);
                else
                    blitter.shift_span(dst_row + run.dst, src_row, run.src, run.length, s);
            }
        }
    }
}

} // namespace skin
