#include "png.h"

#include <cstring>
#include <png.h>

namespace platform {

namespace {

png_uint_32 format_of(int32_t channels)
{
    return channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
}

} // namespace

bool read_png(std::string const& path, int32_t channels, PngPicture& picture, std::string& error)
{
    if (channels != 3 && channels != 4) {
        error = "unsupported channel count";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = image.message;
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > PNG_MAX_SIDE || image.height > PNG_MAX_SIDE) {
        png_image_free(&image);
        error = "unusable size";
        return false;
    }
    image.format = format_of(channels);
    picture.width = static_cast<int32_t>(image.width);
    picture.height = static_cast<int32_t>(image.height);
    picture.channels = channels;
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

bool write_png(std::string const& path, PngPicture const& picture)
{
    if (picture.width <= 0 || picture.height <= 0 || picture.width > PNG_MAX_SIDE || picture.height > PNG_MAX_SIDE
        || (picture.channels != 3 && picture.channels != 4)
        || picture.pixels.size() != size_t(picture.width) * size_t(picture.height) * size_t(picture.channels))
        return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = format_of(picture.channels);
    bool const ok = png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

} // namespace platform
