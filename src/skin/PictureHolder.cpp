#include "PictureHolder.h"

#include "Drawing.h"

#include <core/Log.h>
#include <cstring>
#include <os/File.h>
#include <platform/riff.h>
#include <vector>

namespace skin {

PictureHolder::PictureHolder(core::String name, std::unique_ptr<Bitmap565> bitmap)
    : name_(std::move(name))
    , bitmap_(std::move(bitmap))
{
}

void PictureHolder::draw(RenderSurface& surface, Point origin, Blitter const& blitter) const
{
    blit(surface, origin, size(), *bitmap_, {}, blitter);
}

namespace {

constexpr size_t FILE_HEADER = 14;
constexpr size_t INFO_HEADER = 40;

using platform::riff::u16;
using platform::riff::u32;

void log_failure(core::StringView name, char const* what)
{
    core::log() << u"load_565 " << name << what;
}

} // namespace

std::unique_ptr<Bitmap565> decode_bmp565(uint8_t const* bytes, size_t size, core::StringView name)
{
    if (size < FILE_HEADER + INFO_HEADER) {
        log_failure(name, " is too short for a bitmap\n");
        return nullptr;
    }
    uint8_t const* info = bytes + FILE_HEADER;
    if (u16(info + 14) != 16) {
        log_failure(name, " is not 16bit bitmap\n");
        return nullptr;
    }
    uint32_t const data_offset = u32(bytes + 10);
    int32_t const width = static_cast<int32_t>(u32(info + 4));
    int32_t const raw_height = static_cast<int32_t>(u32(info + 8));
    // The most negative height has no absolute value; such sizes are refused with the oversized ones.
    if (width <= 0 || raw_height == 0 || raw_height == INT32_MIN || width > Bitmap565::MAX_SIDE
        || (raw_height < 0 ? -raw_height : raw_height) > Bitmap565::MAX_SIDE) {
        log_failure(name, " has an unusable size\n");
        return nullptr;
    }
    int32_t const height = raw_height < 0 ? -raw_height : raw_height;
    size_t const row_bytes = static_cast<size_t>(width) * 2;
    size_t const file_row = (16 * static_cast<size_t>(width) + 31) / 32 * 4;
    // The last row needs no padding after it.
    size_t const needed = (static_cast<size_t>(height) - 1) * file_row + row_bytes;
    if (data_offset > size || size - data_offset < needed) {
        log_failure(name, " is truncated\n");
        return nullptr;
    }
    auto bitmap = std::make_unique<Bitmap565>(width, height);
    if (bitmap->empty()) {
        log_failure(name, " does not fit in memory\n");
        return nullptr;
    }
    for (int32_t r = 0; r < height; ++r) {
        int32_t const y = raw_height > 0 ? height - 1 - r : r;
        std::memcpy(bitmap->row(y), bytes + data_offset + static_cast<size_t>(r) * file_row, row_bytes);
    }
    return bitmap;
}

PictureHandle load_565(core::StringView name)
{
    core::String const path = core::String(name) + u".bmp";
    os::File file(path, os::FileMode::Read);
    if (!file.is_open()) {
        log_failure(name, " cannot be opened\n");
        return nullptr;
    }
    std::vector<uint8_t> bytes(file.size());
    if (file.read(bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size()) {
        log_failure(name, " cannot be read\n");
        return nullptr;
    }
    auto bitmap = decode_bmp565(bytes.data(), bytes.size(), name);
    if (!bitmap)
        return nullptr;
    return std::make_shared<PictureHolder const>(core::String(name), std::move(bitmap));
}

} // namespace skin
