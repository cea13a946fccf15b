#include "fonts.h"

#include <platform/text.h>

#include <algorithm>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <fribidi.h>
#include <ft2build.h>
#include <hb-ft.h>
#include <hb.h>
#include <map>
#include <unordered_map>
#include <vector>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace platform {

namespace {

// A glyph as drawn: coverage for outline and grey glyphs, premultiplied colour for colour bitmaps.
struct Glyph {
    int32_t left = 0; // bitmap origin relative to the pen position and the baseline
    int32_t top = 0;
    int32_t width = 0;
    int32_t rows = 0;
    std::vector<uint8_t> coverage;
    std::vector<uint32_t> colour; // 0xAARRGGBB, premultiplied
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

FcPattern* pattern_for(FontSpec const& spec)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return nullptr;
    std::string const family = spec.face.empty() ? std::string("sans-serif") : to_utf8(spec.face);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<FcChar8 const*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

bool read_face_file(FcPattern* match, FaceFile& found)
{
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || !file)
        return false;
    found.path = reinterpret_cast<char const*>(file);
    int value = 0;
    found.index = FcPatternGetInteger(match, FC_INDEX, 0, &value) == FcResultMatch ? value : 0;
    found.bold = FcPatternGetInteger(match, FC_WEIGHT, 0, &value) == FcResultMatch && value >= FC_WEIGHT_DEMIBOLD;
    found.italic = FcPatternGetInteger(match, FC_SLANT, 0, &value) == FcResultMatch && value != FC_SLANT_ROMAN;
    return true;
}

// The installed face nearest to the family name, weight and slant.
bool match_face(FontSpec const& spec, FaceFile& found)
{
    if (!FcInit())
        return false;
    FcPattern* pattern = pattern_for(spec);
    if (!pattern)
        return false;
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    bool const ok = read_face_file(match, found);
    FcPatternDestroy(match);
    return ok;
}

constexpr int32_t MAX_PIXEL_SIZE = 1024;

hb_unicode_funcs_t* unicode()
{
    static hb_unicode_funcs_t* const funcs = hb_unicode_funcs_get_default();
    return funcs;
}

// Characters that never show and never count as missing: HarfBuzz turns them into invisible glyphs.
bool ignorable(char32_t c)
{
    return c < 0x20 || c == 0x7F || c == 0xAD || c == 0x34F || c == 0x61C || (c >= 0x115F && c <= 0x1160)
        || (c >= 0x17B4 && c <= 0x17B5) || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F)
        || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F)
        || c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3)
        || (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

bool pictographic(char32_t c)
{
    return (c >= 0x1F000 && c <= 0x1FAFF) || (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2300 && c <= 0x23FF)
        || (c >= 0x2B00 && c <= 0x2BFF) || c == 0xA9 || c == 0xAE || c == 0x203C || c == 0x2049 || c == 0x2122
        || c == 0x2139 || c == 0x3030 || c == 0x303D || c == 0x3297 || c == 0x3299;
}

bool regional_indicator(char32_t c)
{
    return c >= 0x1F1E6 && c <= 0x1F1FF;
}

// Characters that stay with the one before them in a grapheme.
bool extends(char32_t c)
{
    if (c == 0x200C || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF)
        || (c >= 0xE0020 && c <= 0xE007F) || (c >= 0xE0100 && c <= 0xE01EF))
        return true;
    auto const category = hb_unicode_general_category(unicode(), c);
    return category == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK
        || category == HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK
        || category == HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK;
}

enum class Jamo { NONE, L, V, T, LV, LVT };

Jamo jamo(char32_t c)
{
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97C))
        return Jamo::L;
    if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6))
        return Jamo::V;
    if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB))
        return Jamo::T;
    if (c >= 0xAC00 && c <= 0xD7A3)
        return (c - 0xAC00) % 28 == 0 ? Jamo::LV : Jamo::LVT;
    return Jamo::NONE;
}

// Whether a grapheme boundary lies between code points `before` and `c` (the extended grapheme cluster
// rules that matter for names: marks, joiners, emoji sequences, flags and Hangul syllables).
bool grapheme_break(std::vector<char32_t> const& cps, size_t i, size_t regional_run)
{
    char32_t const before = cps[i - 1], c = cps[i];
    if (before == u'\r' && c == u'\n')
        return false;
    if (extends(c))
        return false;
    if (before == 0x200D && pictographic(c))
        return false;
    // A consonant after a virama joins the conjunct (Devanagari, Bengali, Gujarati, Oriya, Telugu,
    // Malayalam), a ZWJ between them included.
    char32_t const linker = before == 0x200D && i >= 2 ? cps[i - 2] : before;
    bool const virama = linker == 0x094D || linker == 0x09CD || linker == 0x0ACD || linker == 0x0B4D || linker == 0x0C4D
        || linker == 0x0D4D;
    if (virama && hb_unicode_general_category(unicode(), c) == HB_UNICODE_GENERAL_CATEGORY_OTHER_LETTER
        && hb_unicode_script(unicode(), c) == hb_unicode_script(unicode(), linker))
        return false;
    if (regional_indicator(before) && regional_indicator(c))
        return regional_run % 2 == 0;
    Jamo const a = jamo(before), b = jamo(c);
    if (a == Jamo::L && (b == Jamo::L || b == Jamo::V || b == Jamo::LV || b == Jamo::LVT))
        return false;
    if ((a == Jamo::LV || a == Jamo::V) && (b == Jamo::V || b == Jamo::T))
        return false;
    if ((a == Jamo::LVT || a == Jamo::T) && b == Jamo::T)
        return false;
    return true;
}

// Scripts that shape apart; the Han, kana and Hangul of one name stay in one run.
hb_script_t script_of(char32_t c)
{
    hb_script_t const script = hb_unicode_script(unicode(), c);
    if (script == HB_SCRIPT_HIRAGANA || script == HB_SCRIPT_KATAKANA || script == HB_SCRIPT_BOPOMOFO)
        return HB_SCRIPT_HAN;
    return script;
}

bool weak_script(hb_script_t script)
{
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

// One opened face at the font's size: the skin's own face or one that fontconfig found for characters
// the skin's face lacks.
class Face {
public:
    Face(FT_Face face, std::string file, bool synthetic_bold, bool synthetic_italic, double scale)
        : face_(face)
        , file_(std::move(file))
        , hb_(hb_ft_font_create_referenced(face))
        , synthetic_bold_(synthetic_bold)
        , synthetic_italic_(synthetic_italic)
        , colour_(FT_HAS_COLOR(face))
        , scale_(scale)
    {
        hb_ft_font_set_load_flags(hb_, colour_ ? FT_LOAD_COLOR : FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
        if (synthetic_bold_ && face_->size)
            bold_extra_ = static_cast<int32_t>(FT_MulFix(face_->units_per_EM, face_->size->metrics.y_scale) / 24);
    }
    ~Face()
    {
        hb_font_destroy(hb_);
        FT_Done_Face(face_);
    }
    Face(Face const&) = delete;
    Face& operator=(Face const&) = delete;

    FT_Face ft() const { return face_; }
    std::string const& file() const { return file_; }
    hb_font_t* hb() const { return hb_; }
    bool colour() const { return colour_; }
    // Bitmap faces come in fixed strikes: positions and pictures are scaled to the font's size.
    double scale() const { return scale_; }
    // Synthetic bold widens every glyph.
    int32_t bold_extra() const { return bold_extra_; }
    bool has(char32_t c) const { return FT_Get_Char_Index(face_, c) != 0; }

    Glyph const& glyph(uint32_t index)
    {
        auto found = glyphs_.find(index);
        if (found != glyphs_.end())
            return found->second;
        return glyphs_.emplace(index, render(index)).first->second;
    }

private:
    Glyph render(uint32_t index) const
    {
        Glyph g;
        if (FT_Load_Glyph(face_, index, colour_ ? FT_LOAD_COLOR : FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0)
            return g;
        FT_GlyphSlot slot = face_->glyph;
        if (synthetic_italic_ && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_GlyphSlot_Oblique(slot);
        if (synthetic_bold_)
            FT_GlyphSlot_Embolden(slot);
        if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return g;
        FT_Bitmap const& bitmap = slot->bitmap;
        if (bitmap.buffer == nullptr || bitmap.width == 0 || bitmap.rows == 0)
            return g;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_BGRA)
            return scaled_colour(bitmap, slot->bitmap_left, slot->bitmap_top);
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
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

    // A colour bitmap reduced from its strike to the font's size by averaging the pixels each covers.
    Glyph scaled_colour(FT_Bitmap const& bitmap, int32_t left, int32_t top) const
    {
        Glyph g;
        int32_t const sw = static_cast<int32_t>(bitmap.width), sh = static_cast<int32_t>(bitmap.rows);
        g.width = std::max(1, static_cast<int32_t>(std::lround(sw * scale_)));
        g.rows = std::max(1, static_cast<int32_t>(std::lround(sh * scale_)));
        g.left = static_cast<int32_t>(std::lround(left * scale_));
        g.top = static_cast<int32_t>(std::lround(top * scale_));
        g.colour.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
        for (int32_t y = 0; y < g.rows; ++y) {
            int32_t const y0 = y * sh / g.rows, y1 = std::max(y0 + 1, (y + 1) * sh / g.rows);
            for (int32_t x = 0; x < g.width; ++x) {
                int32_t const x0 = x * sw / g.width, x1 = std::max(x0 + 1, (x + 1) * sw / g.width);
                uint32_t sum[4] = { 0, 0, 0, 0 };
                for (int32_t sy = y0; sy < y1; ++sy) {
                    uint8_t const* row = bitmap.buffer + static_cast<ptrdiff_t>(sy) * bitmap.pitch;
                    for (int32_t sx = x0; sx < x1; ++sx)
                        for (int k = 0; k < 4; ++k)
                            sum[k] += row[sx * 4 + k];
                }
                uint32_t const n = static_cast<uint32_t>((y1 - y0) * (x1 - x0));
                uint32_t const b = sum[0] / n, gr = sum[1] / n, r = sum[2] / n, a = sum[3] / n;
                g.colour[static_cast<size_t>(y * g.width + x)] = (a << 24) | (r << 16) | (gr << 8) | b;
            }
        }
        return g;
    }

    FT_Face face_;
    std::string file_;
    hb_font_t* hb_;
    bool synthetic_bold_;
    bool synthetic_italic_;
    bool colour_;
    double scale_;
    int32_t bold_extra_ = 0;
    std::unordered_map<uint32_t, Glyph> glyphs_;
};

// A glyph placed on a line: which face, which glyph, where (pixels from the line's start and baseline).
struct Placed {
    uint16_t face = 0;
    uint32_t glyph = 0;
    int32_t x = 0;
    int32_t y = 0;
};

// A line of text shaped once: its glyphs in visual order, the running right edge after each code unit in
// logical order (a grapheme's code units all carry its right edge), and where a caret may stand.
struct Shaped {
    std::vector<Placed> glyphs;
    std::vector<int32_t> edges;
    std::vector<uint8_t> stops;
    int32_t width = 0;
    int32_t missing = 0;
};

constexpr size_t SHAPED_CACHE = 2048; // lines per generation; two generations are kept

} // namespace

class Font {
public:
    Font(std::unique_ptr<Face> face, FontSpec const& spec, int32_t pixel_size)
        : spec_(spec)
        , pixel_size_(pixel_size)
        , underline_(spec.underline)
    {
        auto const& size = face->ft()->size->metrics;
        metrics_.ascent = static_cast<int32_t>((size.ascender + 63) >> 6);
        metrics_.descent = static_cast<int32_t>((-size.descender + 63) >> 6);
        metrics_.height = metrics_.ascent + metrics_.descent;
        if (FT_IS_SCALABLE(face->ft())) {
            underline_position_ = static_cast<int32_t>(-FT_MulFix(face->ft()->underline_position, size.y_scale) >> 6);
            underline_thickness_ = static_cast<int32_t>(FT_MulFix(face->ft()->underline_thickness, size.y_scale) >> 6);
        }
        underline_position_ = std::max(underline_position_, 1);
        underline_thickness_ = std::max(underline_thickness_, 1);
        faces_.push_back(std::move(face));
    }
    ~Font()
    {
        if (sorted_)
            FcFontSetDestroy(sorted_);
    }
    Font(Font const&) = delete;
    Font& operator=(Font const&) = delete;

    FontMetrics const& metrics() const { return metrics_; }
    bool underline() const { return underline_; }
    int32_t underline_position() const { return underline_position_; }
    int32_t underline_thickness() const { return underline_thickness_; }
    uint64_t requests() const { return requests_; }
    Face& face(uint16_t index) const { return *faces_[index]; }

    // The line shaped, from the cache when it was shaped lately.
    Shaped const& shaped(std::u16string_view text) const
    {
        key_.assign(text);
        auto found = recent_.find(key_);
        if (found != recent_.end())
            return found->second;
        found = older_.find(key_);
        if (found != older_.end()) {
            Shaped moved = std::move(found->second);
            older_.erase(found);
            return remember(std::move(moved));
        }
        ++requests_;
        return remember(shape(text));
    }

private:
    Shaped const& remember(Shaped shaped) const
    {
        if (recent_.size() >= SHAPED_CACHE) {
            older_ = std::move(recent_);
            recent_.clear();
        }
        return recent_.emplace(key_, std::move(shaped)).first->second;
    }

    // The face for a grapheme: the skin's face when it has the character, else the first face in
    // fontconfig's order for this font that has it (a colour one first for emoji); -1 when none has it.
    int32_t face_for(char32_t c, bool emoji) const
    {
        if (!emoji && faces_[0]->has(c))
            return 0;
        uint64_t const key = (uint64_t(c) << 1) | (emoji ? 1 : 0);
        auto const known = chosen_.find(key);
        if (known != chosen_.end())
            return known->second;
        int32_t found = -1;
        if (emoji)
            found = fallback(c, true);
        if (found < 0)
            found = faces_[0]->has(c) ? 0 : fallback(c, false);
        chosen_.emplace(key, found);
        return found;
    }

    int32_t fallback(char32_t c, bool colour_only) const
    {
        if (!sorted_ && !sort_tried_) {
            sort_tried_ = true;
            if (FcPattern* pattern = pattern_for(spec_)) {
                FcResult result = FcResultNoMatch;
                sorted_ = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
                FcPatternDestroy(pattern);
            }
        }
        if (!sorted_)
            return -1;
        for (int i = 0; i < sorted_->nfont; ++i) {
            FcPattern* candidate = sorted_->fonts[i];
            FcCharSet* charset = nullptr;
            if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &charset) != FcResultMatch
                || !FcCharSetHasChar(charset, c))
                continue;
            FcBool colour = FcFalse;
            if (colour_only && (FcPatternGetBool(candidate, FC_COLOR, 0, &colour) != FcResultMatch || !colour))
                continue;
            FaceFile file;
            if (!read_face_file(candidate, file))
                continue;
            int32_t const index = open(file);
            if (index >= 0 && faces_[static_cast<size_t>(index)]->has(c))
                return index;
        }
        return -1;
    }

    // Opens a fallback face at the font's pixel size (the nearest strike for bitmap faces).
    int32_t open(FaceFile const& file) const
    {
        std::string const key = file.path + "#" + std::to_string(file.index);
        auto const known = opened_.find(key);
        if (known != opened_.end())
            return known->second;
        int32_t index = -1;
        FT_Face face = nullptr;
        if (faces_.size() < 0xFFFF && FT_New_Face(library(), file.path.c_str(), file.index, &face) == 0) {
            double scale = 1.0;
            FT_Error error = 0;
            if (FT_IS_SCALABLE(face)) {
                error = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixel_size_));
            } else if (face->num_fixed_sizes > 0) {
                int best = 0;
                for (int i = 1; i < face->num_fixed_sizes; ++i) {
                    auto const size = face->available_sizes[i].y_ppem, chosen = face->available_sizes[best].y_ppem;
                    bool const larger = size >= (pixel_size_ << 6);
                    if ((larger && (chosen < (pixel_size_ << 6) || size < chosen)) || (!larger && size > chosen))
                        best = i;
                }
                error = FT_Select_Size(face, best);
                auto const strike = face->available_sizes[best].y_ppem;
                scale = strike > 0 ? double(pixel_size_ << 6) / double(strike) : 1.0;
            } else {
                error = 1;
            }
            if (error == 0 && face->size) {
                bool const want_bold = spec_.weight >= 600;
                faces_.push_back(std::make_unique<Face>(face, file.path,
                    want_bold && !file.bold && FT_IS_SCALABLE(face), spec_.italic && !file.italic, scale));
                index = static_cast<int32_t>(faces_.size() - 1);
            } else {
                FT_Done_Face(face);
            }
        }
        opened_.emplace(key, index);
        return index;
    }

    struct Run {
        size_t start = 0, end = 0; // code points
        uint8_t level = 0;
        uint16_t face = 0;
        hb_script_t script = HB_SCRIPT_COMMON;
    };

    Shaped shape(std::u16string_view text) const
    {
        Shaped out;
        size_t const units = text.size();
        out.edges.assign(units, 0);
        out.stops.assign(units, 0);
        if (units == 0)
            return out;
        // Code points and the code unit each starts at; a lone surrogate is a replacement character.
        std::vector<char32_t> cps;
        std::vector<size_t> unit_of;
        cps.reserve(units);
        unit_of.reserve(units + 1);
        for (size_t i = 0; i < units; ++i) {
            char32_t c = text[i];
            unit_of.push_back(i);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            // Control characters take no room and show nothing, as blanks of no width.
            cps.push_back(c < 0x20 || c == 0x7F ? char32_t(0x200B) : c);
        }
        size_t const n = cps.size();
        unit_of.push_back(units);

        // Graphemes, the face of each (chosen by its first character) and what no face has.
        std::vector<uint8_t> grapheme_start(n + 1, 0);
        std::vector<uint16_t> face_of(n, 0);
        grapheme_start[0] = grapheme_start[n] = 1;
        size_t regional_run = 0;
        for (size_t i = 1; i < n; ++i) {
            regional_run = regional_indicator(cps[i - 1]) ? regional_run + 1 : 0;
            grapheme_start[i] = grapheme_break(cps, i, regional_run) ? 1 : 0;
        }
        for (size_t g = 0; g < n;) {
            size_t end = g + 1;
            while (end < n && !grapheme_start[end])
                ++end;
            char32_t const base = cps[g];
            bool emoji = base >= 0x1F000 && pictographic(base);
            for (size_t k = g; k < end; ++k)
                emoji = emoji || cps[k] == 0xFE0F;
            int32_t face = 0;
            if (!ignorable(base)) {
                face = face_for(base, emoji && pictographic(base));
                if (face < 0) {
                    ++out.missing;
                    face = 0;
                }
            }
            std::fill(face_of.begin() + static_cast<ptrdiff_t>(g), face_of.begin() + static_cast<ptrdiff_t>(end),
                static_cast<uint16_t>(face));
            g = end;
        }

        // Embedding levels in a left-to-right paragraph.
        std::vector<FriBidiLevel> levels(n, 0);
        {
            std::vector<FriBidiChar> chars(cps.begin(), cps.end());
            std::vector<FriBidiCharType> types(n);
            fribidi_get_bidi_types(chars.data(), static_cast<FriBidiStrIndex>(n), types.data());
            bool const any_rtl = std::any_of(types.begin(), types.end(),
                [](FriBidiCharType t) { return FRIBIDI_IS_RTL(t) || FRIBIDI_IS_EXPLICIT_OR_ISOLATE_OR_BN_OR_NSM(t); });
            if (any_rtl) {
                std::vector<FriBidiBracketType> brackets(n);
                fribidi_get_bracket_types(chars.data(), static_cast<FriBidiStrIndex>(n), types.data(), brackets.data());
                FriBidiParType direction = FRIBIDI_PAR_LTR;
                if (fribidi_get_par_embedding_levels_ex(
                        types.data(), brackets.data(), static_cast<FriBidiStrIndex>(n), &direction, levels.data())
                    == 0)
                    std::fill(levels.begin(), levels.end(), FriBidiLevel(0));
            }
        }

        // Runs of one level, one face and one script.
        std::vector<Run> runs;
        for (size_t i = 0; i < n; ++i) {
            hb_script_t const script = script_of(cps[i]);
            uint8_t const level = static_cast<uint8_t>(std::max<int>(levels[i], 0));
            bool const same = !runs.empty() && runs.back().level == level && runs.back().face == face_of[i]
                && (weak_script(script) || weak_script(runs.back().script) || runs.back().script == script);
            if (same) {
                runs.back().end = i + 1;
                if (weak_script(runs.back().script))
                    runs.back().script = script;
            } else {
                runs.push_back({ i, i + 1, level, face_of[i], script });
            }
        }

        // Shape each run; clusters are code point indices.
        struct Out {
            uint32_t glyph;
            uint32_t cluster;
            int32_t advance, x_offset, y_offset; // 26.6 pixels
        };
        std::vector<std::vector<Out>> shaped(runs.size());
        std::vector<uint8_t> cluster_start(n + 1, 0);
        hb_buffer_t* buffer = hb_buffer_create();
        for (size_t r = 0; r < runs.size(); ++r) {
            Run const& run = runs[r];
            Face& face = *faces_[run.face];
            hb_buffer_clear_contents(buffer);
            hb_buffer_add_utf32(buffer, reinterpret_cast<uint32_t const*>(cps.data()), static_cast<int>(n),
                static_cast<unsigned>(run.start), static_cast<int>(run.end - run.start));
            hb_buffer_set_direction(buffer, run.level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
            hb_buffer_set_script(buffer, weak_script(run.script) ? HB_SCRIPT_LATIN : run.script);
            hb_buffer_set_language(buffer, hb_language_get_default());
            hb_shape(face.hb(), buffer, nullptr, 0);
            unsigned count = 0;
            hb_glyph_info_t const* info = hb_buffer_get_glyph_infos(buffer, &count);
            hb_glyph_position_t const* position = hb_buffer_get_glyph_positions(buffer, &count);
            double const scale = face.scale();
            auto const scaled = [scale](hb_position_t v) { return static_cast<int32_t>(std::lround(v * scale)); };
            cluster_start[run.start] = 1;
            for (unsigned k = 0; k < count; ++k) {
                int32_t advance = scaled(position[k].x_advance);
                if (advance > 0)
                    advance += face.bold_extra();
                shaped[r].push_back({ info[k].codepoint, info[k].cluster, advance, scaled(position[k].x_offset),
                    scaled(position[k].y_offset) });
                if (info[k].cluster < n)
                    cluster_start[info[k].cluster] = 1;
            }
        }
        hb_buffer_destroy(buffer);

        // Visual order of the runs: from the highest level down to the lowest odd one, every sequence of
        // runs at that level or above is reversed.
        std::vector<size_t> order(runs.size());
        for (size_t r = 0; r < runs.size(); ++r)
            order[r] = r;
        uint8_t highest = 0, lowest_odd = 255;
        for (auto const& run : runs) {
            highest = std::max(highest, run.level);
            if (run.level % 2)
                lowest_odd = std::min(lowest_odd, run.level);
        }
        for (int level = highest; level >= lowest_odd && level > 0; --level)
            for (size_t r = 0; r < order.size();) {
                if (runs[order[r]].level < level) {
                    ++r;
                    continue;
                }
                size_t end = r;
                while (end < order.size() && runs[order[end]].level >= level)
                    ++end;
                std::reverse(order.begin() + static_cast<ptrdiff_t>(r), order.begin() + static_cast<ptrdiff_t>(end));
                r = end;
            }
        int64_t pen = 0;
        for (size_t r : order)
            for (auto const& g : shaped[r]) {
                out.glyphs.push_back({ runs[r].face, g.glyph, static_cast<int32_t>((pen + g.x_offset + 32) >> 6),
                    static_cast<int32_t>((g.y_offset + 32) >> 6) });
                pen += g.advance;
            }
        out.width = static_cast<int32_t>((pen + 32) >> 6);

        // Logical edges: a unit (a grapheme, grown to whole shaping clusters) carries the advance of its
        // glyphs; the caret stops only between units.
        std::vector<int64_t> advance_of(n, 0);
        for (auto const& run : shaped)
            for (auto const& g : run)
                if (g.cluster < n)
                    advance_of[g.cluster] += g.advance;
        int64_t sum = 0;
        for (size_t i = 0; i < n;) {
            size_t end = i + 1;
            while (end < n && !(grapheme_start[end] && cluster_start[end]))
                ++end;
            for (size_t k = i; k < end; ++k)
                sum += advance_of[k];
            int32_t const edge = static_cast<int32_t>((sum + 32) >> 6);
            out.stops[unit_of[i]] = 1;
            for (size_t u = unit_of[i]; u < unit_of[end]; ++u)
                out.edges[u] = edge;
            i = end;
        }
        return out;
    }

    FontSpec spec_;
    int32_t pixel_size_;
    FontMetrics metrics_;
    bool underline_;
    int32_t underline_position_ = 1;
    int32_t underline_thickness_ = 1;
    mutable uint64_t requests_ = 0;
    mutable std::vector<std::unique_ptr<Face>> faces_;
    mutable FcFontSet* sorted_ = nullptr;
    mutable bool sort_tried_ = false;
    mutable std::unordered_map<uint64_t, int32_t> chosen_;
    mutable std::map<std::string, int32_t> opened_;
    mutable std::u16string key_;
    mutable std::unordered_map<std::u16string, Shaped> recent_;
    mutable std::unordered_map<std::u16string, Shaped> older_;
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
    int32_t const pixel_size = std::max<int32_t>(face->size->metrics.y_ppem, 1);
    return std::make_shared<Font>(
        std::make_unique<Face>(face, file.path, want_bold && !file.bold, spec.italic && !file.italic, 1.0), spec,
        pixel_size);
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

void text_extents(Font const* font, std::u16string_view text, int32_t* running, uint8_t* stops)
{
    font = resolve(font);
    if (!font) {
        std::fill(running, running + text.size(), 0);
        if (stops)
            std::fill(stops, stops + text.size(), 1);
        return;
    }
    Shaped const& shaped = font->shaped(text);
    std::copy(shaped.edges.begin(), shaped.edges.end(), running);
    if (stops)
        std::copy(shaped.stops.begin(), shaped.stops.end(), stops);
}

int32_t missing_glyphs(Font const* font, std::u16string_view text)
{
    font = resolve(font);
    return font ? font->shaped(text).missing : 0;
}

std::vector<ShapedGlyph> shaped_glyphs(Font const* font, std::u16string_view text)
{
    std::vector<ShapedGlyph> glyphs;
    font = resolve(font);
    if (!font)
        return glyphs;
    for (auto const& placed : font->shaped(text).glyphs) {
        Face const& face = font->face(placed.face);
        glyphs.push_back({ face.file(), static_cast<int32_t>(face.ft()->face_index & 0xFFFF), placed.glyph, placed.x });
    }
    return glyphs;
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

// A premultiplied colour pixel over a 565 one.
uint16_t over565(uint16_t d, uint32_t argb)
{
    uint32_t const a = argb >> 24;
    uint32_t r = (d >> 11) & 31, g = (d >> 5) & 63, b = d & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    auto mix = [a](uint32_t under, uint32_t over) {
        return std::min<uint32_t>(over + (under * (255 - a) + 127) / 255, 255);
    };
    r = mix(r, (argb >> 16) & 0xFF);
    g = mix(g, (argb >> 8) & 0xFF);
    b = mix(b, argb & 0xFF);
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

struct Line {
    std::u16string text;
    int32_t width = 0;
};

// The code units before the first one whose unit ends past `limit`; never inside a grapheme.
size_t fitting(Shaped const& shaped, int32_t limit)
{
    return static_cast<size_t>(
        std::upper_bound(shaped.edges.begin(), shaped.edges.end(), limit) - shaped.edges.begin());
}

// The end of the unit that starts at `start`.
size_t unit_end(Shaped const& shaped, size_t start)
{
    size_t end = start + 1;
    while (end < shaped.stops.size() && !shaped.stops[end])
        ++end;
    return std::min(end, shaped.stops.size());
}

// Breaks one paragraph (no line ends inside) into lines no wider than `limit`, where the line breaking rules
// allow, else between graphemes.
void break_paragraph(Font const* font, std::u16string_view text, int32_t limit, std::vector<Line>& lines)
{
    bool first = true;
    while (!text.empty() || first) {
        if (!first)
            while (!text.empty() && text.front() == u' ')
                text.remove_prefix(1);
        if (text.empty() && !first)
            break;
        first = false;
        Shaped const& shaped = font->shaped(text);
        if (shaped.width <= limit) {
            lines.push_back({ std::u16string(text), shaped.width });
            break;
        }
        size_t const fit = fitting(shaped, limit);
        size_t end, next;
        if (LineEnd const at = line_end(text, fit); at.end > 0) {
            end = at.end;
            next = at.next;
        } else if (fit > 0) {
            end = next = fit;
        } else {
            end = next = unit_end(shaped, 0); // not even one grapheme fits: it goes alone
        }
        std::u16string_view const piece = text.substr(0, end);
        lines.push_back({ std::u16string(piece), font->shaped(piece).width });
        text.remove_prefix(next);
    }
}

// Shortens the line to the graphemes that fit with "…" after them.
void add_ellipsis(Font const* font, Line& line, int32_t limit)
{
    if (line.width <= limit)
        return;
    std::u16string_view const dots = u"\u2026";
    int32_t const dots_width = font->shaped(dots).width;
    Shaped const& whole = font->shaped(line.text);
    std::vector<uint8_t> const stops = whole.stops;
    size_t keep = fitting(whole, std::max(limit - dots_width, -1));
    for (;;) {
        std::u16string shortened = line.text.substr(0, keep);
        shortened += dots;
        int32_t const width = font->shaped(shortened).width;
        if (width <= limit || keep == 0) {
            line.text = std::move(shortened);
            line.width = width;
            return;
        }
        // Kerning across the cut can widen the text: one grapheme less.
        do
            --keep;
        while (keep > 0 && !stops[keep]);
    }
}

std::vector<Line> layout_lines(Font const* font, std::u16string_view text, int32_t limit, uint32_t format)
{
    std::vector<Line> lines;
    if (format & text_format::SINGLELINE) {
        std::u16string one(text);
        std::replace_if(
            one.begin(), one.end(), [](char16_t c) { return c == u'\r' || c == u'\n'; }, u' ');
        int32_t const w = font->shaped(one).width;
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
                lines.push_back({ std::u16string(paragraph), font->shaped(paragraph).width });
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
        size_t const offset = static_cast<size_t>((y - gy) * g.width);
        if (!g.colour.empty()) {
            uint32_t const* source = g.colour.data() + offset;
            for (int32_t x = x0; x < x1; ++x)
                if (uint32_t const pixel = source[x - gx]; pixel >> 24)
                    row[x] = over565(row[x], pixel);
            continue;
        }
        uint8_t const* cover = g.coverage.data() + offset;
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
            for (auto const& placed : font->shaped(line.text).glyphs) {
                Glyph const& g = font->face(placed.face).glyph(placed.glyph);
                if (!g.coverage.empty() || !g.colour.empty())
                    draw_glyph(g, canvas, x + placed.x, baseline - placed.y, clip, red, green, blue);
            }
            if (font->underline())
                draw_underline(canvas, font, x, line.width, baseline, clip, colour);
        }
        y += line_height;
    }
}

} // namespace platform
