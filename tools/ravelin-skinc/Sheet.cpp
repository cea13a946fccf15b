#include "Sheet.h"

#include "Preview.h"

#include <algorithm>
#include <skin/BitmapPng.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/FontRep.h>
#include <skin/NodeExceptions.h>
#include <skin/RenderSurface.h>
#include <skin/TextLayout.h>

namespace skinc {

namespace {

struct Screen {
    int32_t width;
    int32_t height;
    int32_t dpi;
};

constexpr Screen SCREENS[] = { { 240, 320, 96 }, { 480, 640, 192 }, { 640, 480, 192 } };
constexpr int32_t GAP = 16;
constexpr int32_t LABEL = 34;
constexpr skin::Color PAPER { 0xE4, 0xE7, 0xEB, 0xFF };
constexpr skin::Color INK { 0x20, 0x26, 0x2C, 0xFF };

struct Cell {
    std::string label;
    std::unique_ptr<skin::Bitmap565> picture;
};

std::unique_ptr<skin::Bitmap565> copy_of(skin::Bitmap565 const& frame)
{
    auto copy = std::make_unique<skin::Bitmap565>(frame.width(), frame.height());
    for (int32_t y = 0; y < frame.height(); ++y)
        std::copy(frame.row(y), frame.row(y) + frame.width(), copy->row(y));
    return copy;
}

void label(skin::RenderSurface& sheet, skin::FontRep const& font, std::string const& text, skin::Point origin)
{
    skin::TextLayout const layout(font, core::from_utf8(text), false, 4000);
    layout.draw(sheet, origin, { 4000, LABEL }, { INK, skin::HAlign::LEFT, skin::VAlign::VCENTER, false });
}

} // namespace

bool write_sheet(
    std::string const& skin, std::vector<SheetLanguage> const& languages, std::string const& output, std::string& error)
{
    std::vector<std::vector<Cell>> bands;
    std::vector<std::string> band_names;
    for (auto const& language : languages) {
        Sample sample;
        if (!read_sample(language.sample, sample, error))
            return false;
        for (auto const& screen : SCREENS) {
            skin::FormHarness harness(core::from_utf8(skin), { screen.width, screen.height }, screen.dpi);
            if (!harness.loaded()) {
                error = skin + ": cannot be loaded as a skin";
                return false;
            }
            if (!harness.properties().dictionary().load(core::from_utf8(language.lng))) {
                error = language.lng + ": cannot be read";
                return false;
            }
            std::vector<Cell> band;
            for (auto const& preview : sample.previews) {
                try {
                    PreviewScreen shown(harness, sample);
                    shown.show(preview.name);
                    band.push_back({ preview.name, copy_of(harness.frame()) });
                } catch (skin::SkinException const& e) {
                    error = preview.name + ": " + e.what();
                    return false;
                }
            }
            bands.push_back(std::move(band));
            auto const slash = language.lng.find_last_of('/');
            band_names.push_back(language.lng.substr(slash == std::string::npos ? 0 : slash + 1) + "  "
                + std::to_string(screen.width) + "x" + std::to_string(screen.height) + "@"
                + std::to_string(screen.dpi));
        }
    }
    int32_t width = 0;
    int32_t height = GAP;
    for (auto const& band : bands) {
        int32_t band_width = GAP;
        int32_t band_height = 0;
        for (auto const& cell : band) {
            band_width += cell.picture->width() + GAP;
            band_height = std::max(band_height, cell.picture->height());
        }
        width = std::max(width, band_width);
        height += 2 * LABEL + band_height + GAP;
    }
    skin::RenderSurface sheet(skin::Point { width, height });
    if (!sheet.bitmap()) {
        error = "no memory for a sheet of " + std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    skin::fill(sheet, {}, sheet.size(), PAPER);
    skin::FontDesc title_desc;
    title_desc.size = 16;
    title_desc.bold = true;
    title_desc.face = u"DejaVu Sans";
    skin::FontDesc name_desc = title_desc;
    name_desc.size = 12;
    name_desc.bold = false;
    skin::FontRep const title_font(title_desc);
    skin::FontRep const name_font(name_desc);
    int32_t y = GAP;
    for (size_t b = 0; b < bands.size(); ++b) {
        label(sheet, title_font, band_names[b], { GAP, y });
        int32_t x = GAP;
        int32_t band_height = 0;
        for (auto const& cell : bands[b]) {
            label(sheet, name_font, cell.label, { x, y + LABEL });
            skin::blit(sheet, { x, y + 2 * LABEL }, { cell.picture->width(), cell.picture->height() }, *cell.picture,
                {}, skin::plain_blitter());
            x += cell.picture->width() + GAP;
            band_height = std::max(band_height, cell.picture->height());
        }
        y += 2 * LABEL + band_height + GAP;
    }
    if (!skin::write_png(*sheet.bitmap(), output)) {
        error = "cannot write " + output;
        return false;
    }
    return true;
}

} // namespace skinc
