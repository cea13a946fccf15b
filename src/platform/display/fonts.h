#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The font service: faces found by family name through fontconfig, rasterised by FreeType, measured and
// drawn with antialiased glyphs into 16-bit 565 pixels. It stands in for the handheld's font calls:
// create a font from a logical description, read its metrics, measure a run of characters in one call,
// draw text into a rectangle with alignment, word breaking and ellipsis.
// Threads: main thread only (fonts, glyph caches and the library are unsynchronised).
namespace platform {

// Text is shaped with HarfBuzz a line at a time, right-to-left runs placed by the Unicode bidirectional
// algorithm inside a left-to-right line, and every character the font lacks is drawn from the face
// fontconfig chooses for it (colour bitmaps for emoji). Shaped lines are cached per font.
//
// The logical description of a font. A negative height asks for that character height in pixels (the
// em square), a positive one for that cell height (ascent + descent), 0 for the default size.
struct FontSpec {
    int32_t height = 0;
    int32_t weight = 400; // 700 and more is bold
    bool italic = false;
    bool underline = false;
    uint8_t charset = 1; // "default"
    uint8_t quality = 5; // antialiased
    std::u16string face; // family name, up to 31 characters
};

struct FontMetrics {
    int32_t height = 0; // ascent + descent
    int32_t ascent = 0;
    int32_t descent = 0;
};

class Font;

// A font matching the description as closely as the installed faces allow ("Tahoma" resolves to the
// nearest installed family); null when no face can be opened at all.
std::shared_ptr<Font> create_font(FontSpec const& spec);

// Every call below accepts a null font and then uses the stock font, as a drawing context without a
// selected font does.
bool font_metrics(Font const* font, FontMetrics& metrics);

// The running right edge after each code unit of `text` as shaped, written to running[0 .. size-1], in
// logical order; the code units of one grapheme all carry its right edge, so no count of fitting units
// ends inside one. `stops`, when given, receives 1 where a caret may stand before the code unit (the
// start of each grapheme), else 0. Control characters take no room.
void text_extents(Font const* font, std::u16string_view text, int32_t* running, uint8_t* stops = nullptr);

// How many lines the font has shaped: texts it met before are answered from its cache (diagnostics and
// tests).
uint64_t extent_requests(Font const* font);

// Characters of `text` that no installed font has (each drawn as the font's box).
int32_t missing_glyphs(Font const* font, std::u16string_view text);

// One glyph of a shaped line, in visual order: the font file and face index it comes from, its glyph
// index in that face and its pen position in pixels (diagnostics and tests).
struct ShapedGlyph {
    std::string file;
    int32_t face_index = 0;
    uint32_t glyph = 0;
    int32_t x = 0;
};
std::vector<ShapedGlyph> shaped_glyphs(Font const* font, std::u16string_view text);

// 16-bit 565 pixels owned by the caller; `stride` in bytes.
struct Canvas565 {
    uint16_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

struct TextBox {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Format flags of draw_text, with the handheld's values.
namespace text_format {
constexpr uint32_t LEFT = 0x0;
constexpr uint32_t CENTER = 0x1;
constexpr uint32_t RIGHT = 0x2;
constexpr uint32_t TOP = 0x0;
constexpr uint32_t VCENTER = 0x4;
constexpr uint32_t BOTTOM = 0x8;
constexpr uint32_t WORDBREAK = 0x10;
constexpr uint32_t SINGLELINE = 0x20;
constexpr uint32_t NOPREFIX = 0x800;
constexpr uint32_t END_ELLIPSIS = 0x8000;
constexpr uint32_t WORD_ELLIPSIS = 0x40000;
} // namespace text_format

// Draws `text` in colour (red, green, blue) into `box` of the canvas, transparently: glyph coverage is
// blended over the pixels already there. Nothing is drawn outside the box or the canvas.
// Lines: SINGLELINE draws one line (line breaks as blanks); otherwise CR, LF and CR LF start new lines,
// and WORDBREAK breaks lines wider than the box where the line breaking rules allow (line_end; a word
// wider than the box is cut between graphemes). END_ELLIPSIS or WORD_ELLIPSIS shortens a line still
// wider than the box to the graphemes that fit with "…" after them.
// The block of lines is placed by the vertical flag and each line by the horizontal flag.
void draw_text(Font const* font, Canvas565& canvas, std::u16string_view text, TextBox const& box, uint8_t red,
    uint8_t green, uint8_t blue, uint32_t format);

} // namespace platform
