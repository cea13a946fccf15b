#pragma once

#include "FontDesc.h"
#include "Point.h"
#include "TextStyle.h"

#include <core/Strings.h>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace platform {
class Font;
}

namespace skin {

class RenderSurface;

// A font of the skin: the platform font made from a FontDesc, its metrics, and a cache of character
// widths so that each character is measured by the platform once. Shared through FontHandle; it lives
// as long as any element holds it, after the skin that made it is gone.
// Threads: main thread only (the width cache and the scratch bitmap are unsynchronised).
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
    // blanks.
    Extent measure(core::StringView text, int32_t max_width = 0, std::vector<int32_t>* edges = nullptr) const;
    // The characters that fit: the index of the first running right edge past max_width (edges only grow).
    static int32_t fit_count(std::span<int32_t const> edges, int32_t max_width);
    // Width and height without word wrapping: line feeds start new lines; width 0 for an empty text.
    Point text_extent(core::StringView text) const;

    // Renders the text into [origin, origin + box_size) through the process-wide scratch bitmap and copies
    // the changed pixels back with the opaque bit set. Lines are aligned by the style; wrapping breaks at
    // words, otherwise the text is one line; a line too wide ends in "...".
    void draw_text(
        RenderSurface& surface, core::StringView text, Point origin, Point box_size, TextStyle const& style) const;

    // Measuring requests the platform has answered for this font (diagnostics and tests).
    uint64_t platform_requests() const;

private:
    static constexpr int16_t UNKNOWN = -1;
    static constexpr int16_t ASKED = -2;
    int16_t& cached_width(char16_t c) const;
    void learn_widths(core::StringView text) const;

    FontDesc desc_;
    int32_t requested_height_ = 0;
    core::String requested_face_;
    std::shared_ptr<platform::Font> face_;
    int32_t height_ = 20;
    int32_t descent_ = 0;
    // Widths by code unit, in pages of 256 made on first use.
    mutable std::array<std::unique_ptr<std::array<int16_t, 256>>, 256> widths_;
    mutable core::String unknown_;
    mutable std::vector<int32_t> running_;
    mutable std::vector<int32_t> sums_;
};

using FontHandle = std::shared_ptr<FontRep const>;

} // namespace skin
