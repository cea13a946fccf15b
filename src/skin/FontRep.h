#pragma once

#include "FontDesc.h"
#include "Point.h"
#include "TextStyle.h"

#include <core/Strings.h>

#include <cstdint>
#include <memory>
#include <span>
#include <unordered_set>
#include <vector>

namespace platform {
class Font;
}

namespace skin {

class RenderSurface;

// A font of the skin: the platform font made from a FontDesc and its metrics. Text is measured as the
// platform shapes it (whole lines, so that joined scripts, marks and kerning measure as they are drawn);
// the platform keeps the lines it shaped lately, so measuring a text again asks it nothing new. Shared through
// FontHandle; it lives as long as any element holds it, after the skin that made it is gone. Threads: main thread only
// (the measuring buffers and the scratch bitmap are unsynchronised).
class FontRep {
public:
    // `dpi_y` is only logged: heights are computed at 96 dpi and scaled by the description's scale.
    explicit FontRep(FontDesc const& desc, int32_t dpi_y = 96);
    ~FontRep();
    FontRep(FontRep const&) = delete;
    FontRep& operator=(FontRep const&) = delete;

    FontDesc const& description() const { return desc_; }
    // The logical height asked of the platform: -(size x scale x 96) / 72, truncated toward zero.
    int32_t requested_height() const { return requested_height_; }
    // The face name asked of the platform: the first 31 characters of the description's face.
    core::String const& requested_face() const { return requested_face_; }
    // False when the platform could not make the font; the stock font then measures and draws.
    bool has_face() const { return face_ != nullptr; }
    int32_t height() const { return height_; }
    int32_t descent() const { return descent_; }

    struct Extent {
        int32_t width = 0;
        int32_t height = 0;
        int32_t fit = 0; // characters that fit in max_width (when it was positive)
    };
    // The text on one line: its width, the font height (0 x 0 for an empty text), and with max_width > 0
    // the index of the first character whose right edge passes max_width (the length when none does).
    // `edges`, when given, receives the running right edge of every character. A tab measures as four
    // blanks. The code units of one grapheme share its right edge, so the fit never ends inside one.
    Extent measure(core::StringView text, int32_t max_width = 0, std::vector<int32_t>* edges = nullptr) const;
    // 1 where a grapheme starts (where a caret may stand before the code unit), else 0; one per code unit.
    std::vector<uint8_t> grapheme_starts(core::StringView text) const;
    // Characters of the text that no installed font has.
    int32_t missing_glyphs(core::StringView text) const;
    // Characters without a font in the texts drawn since the process started, each text counted once.
    static uint64_t missing_glyphs_drawn();
    // The characters that fit: the index of the first running right edge past max_width (edges only grow).
    static int32_t fit_count(std::span<int32_t const> edges, int32_t max_width);
    // Width and height without word wrapping: line feeds start new lines; width 0 for an empty text.
    Point text_extent(core::StringView text) const;

    // Renders the text into [origin, origin + box_size) through the process-wide scratch bitmap and copies
    // the changed pixels back with the opaque bit set. Lines are aligned by the style; wrapping breaks at
    // words, otherwise the text is one line; a line too wide ends in "…". A text with characters that no
    // installed font has is logged once.
    void draw_text(
        RenderSurface& surface, core::StringView text, Point origin, Point box_size, TextStyle const& style) const;

    // Measuring requests the platform has answered for this font (diagnostics and tests).
    uint64_t platform_requests() const;

private:
    void shape(core::StringView text, std::vector<int32_t>& edges, std::vector<uint8_t>* stops) const;

    FontDesc desc_;
    int32_t requested_height_ = 0;
    core::String requested_face_;
    std::shared_ptr<platform::Font> face_;
    int32_t height_ = 20;
    int32_t descent_ = 0;
    mutable core::String prepared_;
    mutable std::vector<int32_t> running_;
    mutable std::vector<uint8_t> stops_;
    mutable std::vector<int32_t> sums_;
    // Texts whose missing characters were logged lately.
    mutable std::unordered_set<core::String> logged_;
};

using FontHandle = std::shared_ptr<FontRep const>;

} // namespace skin
