#pragma once

#include <TestSupport.h>
#include <core/Log.h>
#include <os/LogFile.h>
#include <platform/display/png.h>
#include <skin/Bitmap565.h>
#include <skin/BitmapPng.h>
#include <skin/Blitter.h>
#include <skin/Drawing.h>
#include <skin/NodeExceptions.h>
#include <skin/NodeRegistry.h>
#include <skin/Properties.h>
#include <skin/RenderSurface.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace skin_testing {

using namespace testing_support;

// The folder of the test skins compiled at build time, a skin in it, and the skin compiler.
inline std::string const COMPILED_SKINS = std::string(RAVELIN_TEST_DATA_DIR) + "/skin/data";
inline auto const skin_path = [](std::string const& name) { return core::from_utf8(COMPILED_SKINS + "/" + name); };
inline std::string const SKINC = bin_dir() + "/ravelin-skinc";
inline auto const display = [](int32_t dpi) { return skin::DisplayInfo { .dpi_y = dpi }; };

// A run of the skin compiler refused: `exit_code`, `lines` lines on standard error holding `message`
// (after `prefix` when one is given), and nothing written to `output`.
inline void expect_refused(CommandResult const& result, int exit_code, std::string const& message,
    std::string const& output, int lines = 1, std::string const& prefix = "")
{
    EXPECT_EQ(result.exit_code, exit_code) << message;
    EXPECT_NE(result.error.find(message), std::string::npos) << result.error;
    EXPECT_TRUE(result.error.starts_with(prefix)) << result.error;
    EXPECT_EQ(std::count(result.error.begin(), result.error.end(), '\n'), lines) << result.error;
    EXPECT_FALSE(file_exists(output)) << output;
}

// The exception of type E that `action` throws; a failure when it throws none.
template <typename E, typename F> std::optional<E> thrown(F&& action)
{
    try {
        action();
    } catch (E const& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return std::nullopt;
}

inline void fill_bitmap(skin::Bitmap565& bitmap, uint16_t pixel)
{
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            bitmap.at(x, y) = pixel;
}

// Every pixel of the bitmap is expected(x, y); stops at the first that is not.
inline void expect_pixels(skin::Bitmap565 const& bitmap, std::function<uint16_t(int32_t, int32_t)> const& expected)
{
    for (int32_t y = 0; y < bitmap.height(); ++y)
        for (int32_t x = 0; x < bitmap.width(); ++x)
            ASSERT_EQ(bitmap.at(x, y), expected(x, y)) << x << "," << y;
}

// The pixel of grid.png at (x, y) as the skin compiler converts it: red 20x, green 20y, opaque.
inline uint16_t grid_pixel(int32_t x, int32_t y)
{
    return static_cast<uint16_t>((((20 * x) & 0xF8) << 8) | (((20 * y) & 0xFC) << 3) | 0x0020);
}

// Little-endian bytes written at any offset; writing past the end grows them.
struct Bytes {
    std::vector<uint8_t> data;

    uint32_t size() const { return static_cast<uint32_t>(data.size()); }
    void put16(size_t at, uint32_t v)
    {
        data.resize(std::max(data.size(), at + 2));
        data[at] = static_cast<uint8_t>(v);
        data[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void put32(size_t at, uint32_t v)
    {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    }
    void add16(uint32_t v) { put16(data.size(), v); }
    void add32(uint32_t v) { put32(data.size(), v); }
    // A zero-terminated UTF-16 string appended; its offset.
    uint32_t text(core::StringView s)
    {
        uint32_t const at = size();
        for (char16_t c : s)
            add16(c);
        add16(0);
        return at;
    }
    std::string str() const { return std::string(data.begin(), data.end()); }
};

// The 92-byte header of a compiled skin with only its magic filled in.
inline Bytes skin_header()
{
    Bytes b { std::vector<uint8_t>(92, 0) };
    uint16_t const magic[] = { 0x0421, 0x043A, 0x0438, 0x043D };
    for (size_t i = 0; i < 4; ++i)
        b.put16(2 * i, magic[i]);
    return b;
}

// Where renderings and their differences from the references are written.
inline std::string rendered_dir()
{
    std::filesystem::create_directories(std::string(RAVELIN_TEST_DATA_DIR) + "/skin/rendered");
    return std::string(RAVELIN_TEST_DATA_DIR) + "/skin/rendered";
}

// The PNG at `output` compared pixel for pixel with tests/skin/golden/NAME.png; a mismatch leaves
// NAME_err.png beside the output: the differing pixels red on a dimmed copy of the reference.
// RAVELIN_UPDATE_GOLDEN=1 makes the output the new reference.
inline void expect_golden_file(std::string const& name, std::string const& output)
{
    std::string const failed = rendered_dir() + "/" + name + "_err.png";
    std::filesystem::remove(failed);
    std::string const reference_path = source_dir() + "/tests/skin/golden/" + name + ".png";
    char const* update = std::getenv("RAVELIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::copy_file(output, reference_path, std::filesystem::copy_options::overwrite_existing);
        return;
    }
    platform::PngPicture rendered, reference;
    std::string error;
    ASSERT_TRUE(platform::read_png(output, 3, rendered, error)) << error;
    ASSERT_TRUE(platform::read_png(reference_path, 3, reference, error)) << "no reference " << reference_path;
    ASSERT_EQ(std::tie(rendered.width, rendered.height), std::tie(reference.width, reference.height));
    platform::PngPicture diff = reference;
    int count = 0;
    for (size_t i = 0; i + 2 < diff.pixels.size(); i += 3) {
        bool const same = std::equal(&reference.pixels[i], &reference.pixels[i] + 3, &rendered.pixels[i]);
        count += same ? 0 : 1;
        for (size_t c = 0; c < 3; ++c)
            diff.pixels[i + c] = same ? static_cast<uint8_t>(reference.pixels[i + c] / 4) : (c == 0 ? 255 : 0);
    }
    if (count > 0)
        platform::write_png(failed, diff);
    EXPECT_EQ(count, 0) << "pixels differ; see " << failed;
}

inline void expect_golden(std::string const& name, skin::Bitmap565 const& frame)
{
    std::string const output = rendered_dir() + "/" + name + ".png";
    ASSERT_TRUE(skin::write_png(frame, output));
    expect_golden_file(name, output);
}

} // namespace skin_testing
