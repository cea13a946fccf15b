#include "FontRep.h"

#include "Blitter.h"
#include "RenderSurface.h"

#include <algorithm>
#include <core/Log.h>
#include <core/Stopwatch.h>
#include <platform/display/fonts.h>

namespace skin {

namespace {

constexpr size_t FACE_NAME_LIMIT = 31;
// How many texts with missing characters are remembered as logged (a list redrawn does not repeat them).
constexpr size_t LOGGED_TEXTS = 256;
uint64_t missing_drawn = 0;
// A tab is measured and drawn as this many blanks.
constexpr size_t TAB_BLANKS = 4;

// The text with each tab as blanks, written into `out` when it has any.
core::StringView blank_tabs(core::StringView text, core::String& out)
{
    if (text.find(u'\t') == core::StringView::npos)
        return text;
    out.clear();
    for (char16_t c : text) {
        if (c == u'\t')
            out.append(TAB_BLANKS, u' ');
        else
            out.push_back(c);
    }
    return out;
}

int32_t height_for(FontDesc const& desc)
{
    int64_t const h = -(int64_t(desc.size) * desc.scale * 96) / 72;
    return static_cast<int32_t>(std::clamp<int64_t>(h, INT32_MIN, INT32_MAX));
}

} // namespace

FontRep::FontRep(FontDesc const& desc, int32_t dpi_y)
    : desc_(desc)
    , requested_height_(height_for(desc))
    , requested_face_(desc.face.substr(0, FACE_NAME_LIMIT))
{
    core::Stopwatch stopwatch;
    platform::FontSpec spec;
    spec.height = requested_height_;
    spec.weight = desc.bold ? 700 : 400;
    spec.italic = desc.italic;
    spec.underline = desc.underline;
    spec.face = requested_face_;
    core::log() << u"dpiy=" << dpi_y << u" log_font.lfHeight=" << requested_height_ << u"\n";
    face_ = platform::create_font(spec);
    if (!face_)
        core::log() << u"ERROR: FontRep::FontRep() Failed to create font\n";
    core::log() << u"Creating font: {" << requested_face_ << u"} elapsed=" << stopwatch.elapsed() << u"\n";
    platform::FontMetrics metrics;
    if (platform::font_metrics(face_.get(), metrics)) {
        height_ = metrics.height;
        descent_ = metrics.descent;
    }
    running_.reserve(100);
    stops_.reserve(100);
    sums_.reserve(100);
}

FontRep::~FontRep() = default;

uint64_t FontRep::platform_requests() const
{
    return platform::extent_requests(face_.get());
}

int32_t FontRep::fit_count(std::span<int32_t const> edges, int32_t max_width)
{
    auto const past = std::upper_bound(edges.begin(), edges.end(), max_width);
    return static_cast<int32_t>(past - edges.begin());
}

// The text as the platform shapes it: each tab as four blanks, the results mapped back to the tab.
void FontRep::shape(core::StringView text, std::vector<int32_t>& edges, std::vector<uint8_t>* stops) const
{
    core::StringView const shaped = blank_tabs(text, prepared_);
    running_.resize(shaped.size());
    stops_.resize(shaped.size());
    platform::text_extents(face_.get(), shaped, running_.data(), stops_.data());
    edges.clear();
    if (stops)
        stops->clear();
    for (size_t i = 0, j = 0; i < text.size(); ++i) {
        size_t const last = j + (text[i] == u'\t' ? TAB_BLANKS - 1 : 0);
        edges.push_back(running_[last]);
        if (stops)
            stops->push_back(stops_[j]);
        j = last + 1;
    }
}

FontRep::Extent FontRep::measure(core::StringView text, int32_t max_width, std::vector<int32_t>* edges) const
{
    Extent extent;
    std::vector<int32_t>& sums = edges ? *edges : sums_;
    sums.clear();
    if (text.empty())
        return extent;
    shape(text, sums, nullptr);
    extent.width = sums.empty() ? 0 : sums.back();
    extent.height = height_;
    extent.fit = max_width > 0 ? fit_count(sums, max_width) : static_cast<int32_t>(text.size());
    return extent;
}

std::vector<uint8_t> FontRep::grapheme_starts(core::StringView text) const
{
    std::vector<uint8_t> stops;
    shape(text, sums_, &stops);
    return stops;
}

int32_t FontRep::missing_glyphs(core::StringView text) const
{
    return platform::missing_glyphs(face_.get(), text);
}

uint64_t FontRep::missing_glyphs_drawn()
{
    return missing_drawn;
}

Point FontRep::text_extent(core::StringView text) const
{
    if (text.empty())
        return { 0, height_ };
    Point size;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(u'\n', start);
        core::StringView line
            = text.substr(start, end == core::StringView::npos ? core::StringView::npos : end - start);
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        size.x = std::max(size.x, measure(line).width);
        size.y += height_;
        if (end == core::StringView::npos)
            break;
        start = end + 1;
    }
    return size;
}

namespace {

// The scratch bitmap that text is drawn into: one for the process, it only grows.
Bitmap565& scratch(Point size)
{
    static std::unique_ptr<Bitmap565> bitmap;
    if (!bitmap || bitmap->width() < size.x || bitmap->height() < size.y) {
        int32_t const w = std::max(size.x, bitmap ? bitmap->width() : 0);
        int32_t const h = std::max(size.y, bitmap ? bitmap->height() : 0);
        bitmap = std::make_unique<Bitmap565>(w, h);
    }
    return *bitmap;
}

uint32_t format_of(TextStyle const& style)
{
    namespace f = platform::text_format;
    uint32_t format = f::NOPREFIX | f::END_ELLIPSIS | f::WORD_ELLIPSIS;
    switch (style.halign) {
    case HAlign::CENTER:
        format |= f::CENTER;
        break;
    case HAlign::RIGHT:
        format |= f::RIGHT;
        break;
    default:
        format |= f::LEFT;
    }
    switch (style.valign) {
    case VAlign::VCENTER:
        format |= f::VCENTER;
        break;
    case VAlign::BOTTOM:
        format |= f::BOTTOM;
        break;
    default:
        format |= f::TOP;
    }
    format |= style.wrap ? f::WORDBREAK : f::SINGLELINE;
    return format;
}

} // namespace

void FontRep::draw_text(
    RenderSurface& surface, core::StringView text, Point origin, Point box_size, TextStyle const& style) const
{
    Bitmap565* target = surface.bitmap();
    if (!target || box_size.x <= 0 || box_size.y <= 0 || text.empty())
        return;
    Bitmap565& buffer = scratch(box_size);
    if (buffer.empty())
        return;
    // The part of the box the surface lets us change.
    ClipRect const& clip = surface.clip();
    int32_t const x0 = std::max({ origin.x, clip.min_x, 0 });
    int32_t const y0 = std::max({ origin.y, clip.min_y, 0 });
    int32_t const x1
        = static_cast<int32_t>(std::min<int64_t>({ int64_t(origin.x) + box_size.x, clip.max_x, target->width() }));
    int32_t const y1
        = static_cast<int32_t>(std::min<int64_t>({ int64_t(origin.y) + box_size.y, clip.max_y, target->height() }));
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int32_t y = y0; y < y1; ++y) {
        uint16_t* row = buffer.row(y - origin.y) + (x0 - origin.x);
        plain_blitter().copy_span(row, row + (x1 - x0), target->row(y) + x0, y);
    }
    platform::Canvas565 canvas { buffer.pixels(), box_size.x, box_size.y, buffer.stride() };
    platform::TextBox const box { 0, 0, box_size.x, box_size.y };
    // Tabs are blanks in every measurement; the drawing agrees with them.
    core::String prepared;
    core::StringView const drawn = blank_tabs(text, prepared);
    platform::draw_text(
        face_.get(), canvas, drawn, box, style.color.red, style.color.green, style.color.blue, format_of(style));
    if (int32_t const missing = platform::missing_glyphs(face_.get(), drawn); missing > 0) {
        if (logged_.size() >= LOGGED_TEXTS)
            logged_.clear();
        if (logged_.emplace(drawn).second) {
            missing_drawn += static_cast<uint64_t>(missing);
            core::log() << u"FontRep::draw_text missing glyphs=" << missing << u" {" << core::String(drawn) << u"}\n";
        }
    }
    for (int32_t y = y0; y < y1; ++y) {
        uint16_t* row = target->row(y);
        mark_changed_blitter().copy_span(row + x0, row + x1, buffer.row(y - origin.y) + (x0 - origin.x), y);
    }
}

} // namespace skin
