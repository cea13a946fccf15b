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

// One band: every preview of the sample in one language at one screen size.
struct Band {
    std::string name;
    std::vector<Cell> cells;

    int32_t height() const
    {
        int32_t tallest = 0;
        for (auto const& cell : cells)
            tallest = std::max(tallest, cell.picture->height());
        return 2 * LABEL + tallest;
    }
};

bool draw_band(std::string const& skin, SheetLanguage const& language, Sample const& sample, Screen const& screen,
    Band& band, std::string& error)
{
    skin::FormHarness harness(core::from_utf8(skin), { screen.width, screen.height }, screen.dpi);
    if (!harness.loaded()) {
        error = skin + ": cannot be loaded as a skin";
        return false;
    }
    if (!harness.properties().dictionary().load(core::from_utf8(language.lng))) {
        error = language.lng + ": cannot be read";
        return false;
    }
    for (auto const& preview : sample.previews) {
        try {
            PreviewScreen shown(harness, sample);
            shown.show(preview.name);
            band.cells.push_back({ preview.name, copy_of(harness.frame()) });
        } catch (skin::SkinException const& e) {
            error = preview.name + ": " + e.what();
            return false;
        }
    }
    auto const slash = language.lng.find_last_of('/');
    band.name = language.lng.substr(slash == std::string::npos ? 0 : slash + 1) + "  " + std::to_string(screen.width)
        + "x" + std::to_string(screen.height) + "@" + std::to_string(screen.dpi);
    return true;
}

skin::Point sheet_size(std::vector<Band> const& bands)
{
    skin::Point size { 0, GAP };
    for (auto const& band : bands) {
        int32_t width = GAP;
        for (auto const& cell : band.cells)
            width += cell.picture->width() + GAP;
        size.x = std::max(size.x, width);
        size.y += band.height() + GAP;
    }
    return size;
}

void draw_sheet(skin::RenderSurface& sheet, std::vector<Band> const& bands)
{
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
    for (auto const& band : bands) {
        label(sheet, title_font, band.name, { GAP, y });
        int32_t x = GAP;
        for (auto const& cell : band.cells) {
            label(sheet, name_font, cell.label, { x, y + LABEL });
            skin::blit(sheet, { x, y + 2 * LABEL }, { cell.picture->width(), cell.picture->height() }, *cell.picture,
                {}, skin::plain_blitter());
            x += cell.picture->width() + GAP;
        }
        y += band.height() + GAP;
    }
}

} // namespace

bool write_sheet(
    std::string const& skin, std::vector<SheetLanguage> const& languages, std::string const& output, std::string& error)
{
    std::vector<Band> bands;
    for (auto const& language : languages) {
        Sample sample;
        if (!read_sample(language.sample, sample, error))
            return false;
        for (auto const& screen : SCREENS)
            if (!draw_band(skin, language, sample, screen, bands.emplace_back(), error))
                return false;
    }
    skin::Point const size = sheet_size(bands);
    skin::RenderSurface sheet(size);
    if (!sheet.bitmap()) {
        error = "no memory for a sheet of " + std::to_string(size.x) + "x" + std::to_string(size.y);
        return false;
    }
    draw_sheet(sheet, bands);
    if (!skin::write_png(*sheet.bitmap(), output)) {
        error = "cannot write " + output;
        return false;
    }
    return true;
}

} // namespace skinc
