#include "fonts.h"

#include <platform/text.h>

#include <algorithm>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <unordered_map>
#include <vector>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace platform {

namespace {

struct Glyph {
    int32_t advance = 0;
    int32_t left = 0; // bitmap origin relative to the pen position and the baseline
    int32_t top = 0;
    int32_t width = 0;
    int32_t rows = 0;
    std::vector<uint8_t> coverage;
};

// FreeType's library object lives for the whole process; fontconfig keeps its own configuration.
FT_Library library()
{
    static FT_Library const instance = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            return static_cast<FT_Library>(nullptr);
        return lib;
    }();
    return instance;
}

struct FaceFile {
    std::string path;
    int index = 0;
    bool bold = false;
    bool italic = false;
};

// The installed face nearest to the family name, weight and slant.
bool match_face(FontSpec const& spec, FaceFile& found)
{
    if (!FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    std::string const family = spec.face.empty() ? std::string("sans-serif") : to_utf8(spec.face);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<FcChar8 const*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        found.path = reinterpret_cast<char const*>(file);
        int value = 0;
        found.index = FcPatternGetInteger(match, FC_INDEX, 0, &value) == FcResultMatch ? value : 0;
        found.bold = FcPatternGetInteger(match, FC_WEIGHT, 0, &value) == FcResultMatch && value >= FC_WEIGHT_DEMIBOLD;
        found.italic = FcPatternGetInteger(match, FC_SLANT, 0, &value) == FcResultMatch && value != FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return ok;
}

constexpr int32_t MAX_PIXEL_SIZE = 1024;

} // namespace

class Font {
public:
    Font(FT_Face face, FontSpec const& spec, bool synthetic_bold, bool synthetic_italic)
        : face_(face)
        , underline_(spec.underline)
        , synthetic_bold_(synthetic_bold)
        , synthetic_italic_(synthetic_italic)
    {
        auto const& size = face_->size->metrics;
        metrics_.ascent = static_cast<int32_t>((size.ascender + 63) >> 6);
        metrics_.descent = static_cast<int32_t>((-size.descender + 63) >> 6);
        metrics_.height = metrics_.ascent + metrics_.descent;
        if (FT_IS_SCALABLE(face_)) {
            underline_position_ = static_cast<int32_t>(-FT_MulFix(face_->underline_position, size.y_scale) >> 6);
            underline_thickness_ = static_cast<int32_t>(FT_MulFix(face_->underline_thickness, size.y_scale) >> 6);
        }
        underline_position_ = std::max(underline_position_, 1);
        underline_thickness_ = std::max(underline_thickness_, 1);
    }
    ~Font() { FT_Done_Face(face_); }
    Font(Font const&) = delete;
    Font& operator=(Font const&) = delete;

    FontMetrics const& metrics() const { return metrics_; }
    bool underline() const { return underline_; }
    int32_t underline_position() const { return underline_position_; }
    int32_t underline_thickness() const { return underline_thickness_; }
    uint64_t requests() const { return requests_; }
    void count_request() const { ++requests_; }

    Glyph const& glyph(char16_t c) const
    {
        auto found = glyphs_.find(c);
        if (found != glyphs_.end())
            return found->second;
        return glyphs_.emplace(c, render(c)).first->second;
    }

private:
    Glyph render(char16_t c) const
    {
        Glyph g;
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c == 0x7F)
            return g;
        FT_UInt const index = FT_Get_Char_Index(face_, c);
        if (FT_Load_Glyph(face_, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0)
            return g;
        FT_GlyphSlot slot = face_->glyph;
        if (synthetic_italic_)
            FT_GlyphSlot_Oblique(slot);
        if (synthetic_bold_)
            FT_GlyphSlot_Embolden(slot);
        g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return g;
        FT_Bitmap const& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.buffer == nullptr)
            return g;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int32_t>(bitmap.width);
        g.rows = static_cast<int32_t>(bitmap.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
        int const levels = std::max<int>(bitmap.num_grays - 1, 1);
        for (int32_t y = 0; y < g.rows; ++y) {
            uint8_t const* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
            for (int32_t x = 0; x < g.width; ++x)
                g.coverage[static_cast<size_t>(y * g.width + x)] = static_cast<uint8_t>(row[x] * 255 / levels);
        }
        return g;
    }

    FT_Face face_;
    FontMetrics metrics_;
    bool underline_;
    bool synthetic_bold_;
    bool synthetic_italic_;
    int32_t underline_position_ = 1;
    int32_t underline_thickness_ = 1;
    mutable uint64_t requests_ = 0;
    mutable std::unordered_map<char16_t, Glyph> glyphs_;
};

std::shared_ptr<Font> create_font(FontSpec const& spec)
{
    FT_Library lib = library();
    FaceFile file;
    if (!lib || !match_face(spec, file))
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.path.c_str(), file.index, &face) != 0)
        return nullptr;
    FT_Error error = 0;
    if (spec.height > 0) {
        FT_Size_RequestRec request {};
        request.type = FT_SIZE_REQUEST_TYPE_CELL;
        request.height = static_cast<FT_Long>(std::min(spec.height, MAX_PIXEL_SIZE)) << 6;
        error = FT_Request_Size(face, &request);
    } else {
        int32_t const pixels
            = spec.height == 0 ? 16 : static_cast<int32_t>(std::min<int64_t>(-int64_t(spec.height), MAX_PIXEL_SIZE));
        error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    }
    if (error != 0 || !face->size) {
        FT_Done_Face(face);
        return nullptr;
    }
    bool const want_bold = spec.weight >= 600;
    return std::make_shared<Font>(face, spec, want_bold && !file.bold, spec.italic && !file.italic);
}

namespace {

Font const* stock_font()
{
    static std::shared_ptr<Font> const stock = [] {
        FontSpec spec;
        spec.height = -13;
        spec.face = u"sans-serif";
        return create_font(spec);
    }();
    return stock.get();
}

Font const* resolve(Font const* font)
{
    return font ? font : stock_font();
}

} // namespace

bool font_metrics(Font const* font, FontMetrics& metrics)
{
    font = resolve(font);
    if (!font)
        return false;
    metrics = font->metrics();
    return true;
}

void text_extents(Font const* font, std::u16string_view text, int32_t* running)
{
    font = resolve(font);
    int32_t x = 0;
    if (font)
        font->count_request();
    for (size_t i = 0; i < text.size(); ++i) {
        if (font)
            x += font->glyph(text[i]).advance;
        running[i] = x;
    }
}

uint64_t extent_requests(Font const* font)
{
    font = resolve(font);
    return font ? font->requests() : 0;
}

namespace {

uint16_t blend565(uint16_t d, uint8_t red, uint8_t green, uint8_t blue, uint32_t coverage)
{
    uint32_t r = (d >> 11) & 31, g = (d >> 5) & 63, b = d & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    auto mix = [coverage](uint32_t from, uint32_t to) { return (from * (255 - coverage) + to * coverage + 127) / 255; };
    r = mix(r, red);
    g = mix(g, green);
    b = mix(b, blue);
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

struct Line {
    std::u16string text;
    int32_t width = 0;
};

int32_t width_of(Font const* font, std::u16string_view text)
{
    int32_t w = 0;
    for (char16_t c : text)
        w += font->glyph(c).advance;
    return w;
}

// Breaks one paragraph (no line ends inside) into lines no wider than `limit`, at blanks where possible.
void break_paragraph(Font const* font, std::u16string_view text, int32_t limit, std::vector<Line>& lines)
{
    size_t start = 0;
    size_t const n = text.size();
    bool first = true;
    while (start < n || first) {
        if (!first)
            while (start < n && text[start] == u' ')
                ++start;
        if (start >= n && !first)
            break;
        first = false;
        int32_t x = 0;
        size_t i = start;
        size_t last_blank = std::u16string_view::npos;
        while (i < n) {
            int32_t const advance = font->glyph(text[i]).advance;
            if (x + advance > limit)
                break;
            if (text[i] == u' ')
                last_blank = i;
            x += advance;
            ++i;
        }
        size_t end = i;
        size_t next = i;
        if (i < n) {
            if (text[i] == u' ') {
                end = i;
                next = i + 1;
            } else if (last_blank != std::u16string_view::npos && last_blank > start) {
                end = last_blank;
                next = last_blank + 1;
            } else if (i == start) {
                end = next = start + 1; // not even one character fits: it goes alone
            }
        }
        std::u16string_view const piece = text.substr(start, end - start);
        lines.push_back({ std::u16string(piece), width_of(font, piece) });
        start = next;
    }
}

void add_ellipsis(Font const* font, Line& line, int32_t limit)
{
    if (line.width <= limit)
        return;
    std::u16string_view const dots = u"...";
    int32_t const dots_width = width_of(font, dots);
    int32_t x = 0;
    size_t keep = 0;
    while (keep < line.text.size()) {
        int32_t const advance = font->glyph(line.text[keep]).advance;
        if (x + advance + dots_width > limit)
            break;
        x += advance;
        ++keep;
    }
    line.text.resize(keep);
    line.text += dots;
    line.width = x + dots_width;
}

std::vector<Line> layout_lines(Font const* font, std::u16string_view text, int32_t limit, uint32_t format)
{
    std::vector<Line> lines;
    if (format & text_format::SINGLELINE) {
        std::u16string one(text);
        std::replace_if(
            one.begin(), one.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
        int32_t const w = width_of(font, one);
        lines.push_back({ std::move(one), w });
    } else {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find_first_of(u"\r\n", start);
            if (end == std::u16string_view::npos)
                end = text.size();
            std::u16string_view const paragraph = text.substr(start, end - start);
            if (format & text_format::WORDBREAK)
                break_paragraph(font, paragraph, limit, lines);
            else
                lines.push_back({ std::u16string(paragraph), width_of(font, paragraph) });
            if (end == text.size())
                break;
            start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        }
    }
    if (format & (text_format::END_ELLIPSIS | text_format::WORD_ELLIPSIS))
        for (auto& line : lines)
            add_ellipsis(font, line, limit);
    return lines;
}

struct Clip {
    int32_t x0, y0, x1, y1;
};

void draw_glyph(Glyph const& g, Canvas565& canvas, int32_t pen_x, int32_t baseline, Clip const& clip, uint8_t red,
    uint8_t green, uint8_t blue)
{
    int32_t const gx = pen_x + g.left;
    int32_t const gy = baseline - g.top;
    int32_t const x0 = std::max(gx, clip.x0), x1 = std::min(gx + g.width, clip.x1);
    int32_t const y0 = std::max(gy, clip.y0), y1 = std::min(gy + g.rows, clip.y1);
    for (int32_t y = y0; y < y1; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(
            reinterpret_cast<uint8_t*>(canvas.pixels) + static_cast<ptrdiff_t>(y) * canvas.stride);
        uint8_t const* cover = g.coverage.data() + static_cast<size_t>((y - gy) * g.width);
        for (int32_t x = x0; x < x1; ++x) {
            uint32_t const c = cover[x - gx];
            if (c == 255)
                row[x] = static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
            else if (c != 0)
                row[x] = blend565(row[x], red, green, blue, c);
        }
    }
}

void draw_underline(
    Canvas565& canvas, Font const* font, int32_t x, int32_t width, int32_t baseline, Clip const& clip, uint16_t colour)
{
    int32_t const top = baseline + font->underline_position() - font->underline_thickness() / 2;
    int32_t const x0 = std::max(x, clip.x0), x1 = std::min(x + width, clip.x1);
    for (int32_t y = std::max(top, clip.y0); y < std::min(top + font->underline_thickness(), clip.y1); ++y) {
        auto* row = reinterpret_cast<uint16_t*>(
            reinterpret_cast<uint8_t*>(canvas.pixels) + static_cast<ptrdiff_t>(y) * canvas.stride);
        for (int32_t px = x0; px < x1; ++px)
            row[px] = colour;
    }
}

} // namespace

void draw_text(Font const* font, Canvas565& canvas, std::u16string_view text, TextBox const& box, uint8_t red,
    uint8_t green, uint8_t blue, uint32_t format)
{
    font = resolve(font);
    if (!font || !canvas.pixels || box.width <= 0 || box.height <= 0)
        return;
    Clip const clip { std::max(box.x, 0), std::max(box.y, 0), std::min(box.x + box.width, canvas.width),
        std::min(box.y + box.height, canvas.height) };
    if (clip.x0 >= clip.x1 || clip.y0 >= clip.y1)
        return;
    std::vector<Line> const lines = layout_lines(font, text, box.width, format);
    int32_t const line_height = font->metrics().height;
    int32_t const block = line_height * static_cast<int32_t>(lines.size());
    int32_t y = box.y;
    if (format & text_format::VCENTER)
        y = box.y + (box.height - block) / 2;
    else if (format & text_format::BOTTOM)
        y = box.y + box.height - block;
    uint16_t const colour = static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
    for (auto const& line : lines) {
        int32_t x = box.x;
        if (format & text_format::CENTER)
            x = box.x + (box.width - line.width) / 2;
        else if (format & text_format::RIGHT)
            x = box.x + box.width - line.width;
        int32_t const baseline = y + font->metrics().ascent;
        if (y < clip.y1 && y + line_height > clip.y0) {
            int32_t pen = x;
            for (char16_t c : line.text) {
                Glyph const& g = font->glyph(c);
                if (!g.coverage.empty())
                    draw_glyph(g, canvas, pen, baseline, clip, red, green, blue);
                pen += g.advance;
            }
            if (font->underline())
                draw_underline(canvas, font, x, line.width, baseline, clip, colour);
        }
        y += line_height;
    }
}

} // namespace platform
