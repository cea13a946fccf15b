#include "Png.h"

#include "SkinSource.h"

#include <fstream>
#include <platform/display/png.h>
#include <platform/riff.h>

namespace skinc {

Rgba read_png(std::string const& path)
{
    platform::PngPicture png;
    std::string error;
    if (!platform::read_png(path, 4, png, error))
        throw CompileError("cannot read PNG " + path + ": " + error);
    return { png.width, png.height, std::move(png.pixels) };
}

uint16_t to_skin_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha)
{
    if (alpha < 128)
        return 0xF81F;
    return static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3) | 0x0020);
}

namespace {

void put16(std::string& out, uint32_t v)
{
    char bytes[2];
    platform::riff::put_u16(reinterpret_cast<uint8_t*>(bytes), static_cast<uint16_t>(v));
    out.append(bytes, 2);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

} // namespace

void write_bmp565(std::string const& path, Rgba const& picture)
{
    uint32_t const row_bytes = (16 * static_cast<uint32_t>(picture.width) + 31) / 32 * 4;
    uint32_t const data_offset = 14 + 40 + 12;
    uint32_t const data_size = row_bytes * static_cast<uint32_t>(picture.height);
    std::string out;
    out.reserve(data_offset + data_size);
    out += "BM";
    put32(out, data_offset + data_size);
    put32(out, 0);
    put32(out, data_offset);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(picture.width));
    put32(out, static_cast<uint32_t>(picture.height)); // positive: bottom-up
    put16(out, 1);
    put16(out, 16);
    put32(out, 3); // bit fields, so that ordinary viewers read 565
    put32(out, data_size);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0xF800);
    put32(out, 0x07E0);
    put32(out, 0x001F);
    for (int32_t y = picture.height - 1; y >= 0; --y) {
        uint8_t const* row = picture.pixels.data() + static_cast<size_t>(y) * picture.width * 4;
        for (int32_t x = 0; x < picture.width; ++x)
            put16(out, to_skin_pixel(row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]));
        out.append(row_bytes - static_cast<uint32_t>(picture.width) * 2, '\0');
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!file)
        throw CompileError("cannot write " + path);
}

} // namespace skinc
