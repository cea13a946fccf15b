#include "SkinTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <png.h>

using namespace testing_support;

namespace {

std::string skinc()
{
    return bin_dir() + "/ravelin-skinc";
}

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

bool read_png(std::string const& path, Picture& picture)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int32_t>(image.width);
    picture.height = static_cast<int32_t>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    bool const ok = png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

void write_png(std::string const& path, Picture const& picture)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr);
    png_image_free(&image);
}

// Where the pixels differ: red on a dimmed copy of the reference.
Picture difference(Picture const& reference, Picture const& rendered, int& count)
{
    Picture diff = reference;
    count = 0;
    for (size_t i = 0; i + 2 < diff.rgb.size(); i += 3) {
        bool const same = std::equal(&reference.rgb[i], &reference.rgb[i] + 3, &rendered.rgb[i]);
        count += same ? 0 : 1;
        for (size_t c = 0; c < 3; ++c)
            diff.rgb[i + c] = same ? static_cast<uint8_t>(reference.rgb[i + c] / 4) : (c == 0 ? 255 : 0);
    }
    return diff;
}

struct Golden {
    char const* name;
    char const* entry;
    char const* size;
};

class GoldenPicture : public testing::TestWithParam<Golden> { };

// The rendering of a small skin, pixel for pixel. RAVELIN_UPDATE_GOLDEN=1 writes new references.
TEST_P(GoldenPicture, MatchesTheReference)
{
    auto const& g = GetParam();
    std::string const folder = std::string(RAVELIN_TEST_DATA_DIR) + "/skin/rendered";
    std::filesystem::create_directories(folder);
    std::string const output = folder + "/" + g.name + ".png";
    std::string const failed = folder + "/" + g.name + "_err.png";
    std::filesystem::remove(failed);
    auto const result = run(skinc() + " --render " + skin_testing::compiled_skins() + "/golden.skin " + g.entry
        + " --size " + g.size + " --out " + output);
    ASSERT_EQ(result.exit_code, 0) << result.error;
    Picture rendered;
    ASSERT_TRUE(read_png(output, rendered));
    std::string const reference_path = source_dir() + "/tests/skin/golden/" + g.name + ".png";
    char const* update = std::getenv("RAVELIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::copy_file(output, reference_path, std::filesystem::copy_options::overwrite_existing);
        return;
    }
    Picture reference;
    ASSERT_TRUE(read_png(reference_path, reference)) << "no reference " << reference_path;
    ASSERT_EQ(std::tie(rendered.width, rendered.height), std::tie(reference.width, reference.height));
    int count = 0;
    Picture const diff = difference(reference, rendered, count);
    if (count > 0)
        write_png(failed, diff);
    EXPECT_EQ(count, 0) << "pixels differ; see " << failed;
}

INSTANTIATE_TEST_SUITE_P(Skins, GoldenPicture,
    testing::Values(Golden { "panel_96", "Panel", "160x100" }, Golden { "panel_192", "Panel", "320x200@192" },
        Golden { "widgets_96", "Widgets", "160x150" }),
    [](auto const& info) { return std::string(info.param.name); });

struct BadRender {
    char const* name;
    char const* arguments; // after "--render"
    int exit_code;
    char const* message;
};

class RenderError : public testing::TestWithParam<BadRender> { };

TEST_P(RenderError, IsOneLine)
{
    std::string const data = skin_testing::compiled_skins();
    std::string arguments = GetParam().arguments;
    for (std::string const marker : { "DATA" })
        for (size_t at; (at = arguments.find(marker)) != std::string::npos;)
            arguments.replace(at, marker.size(), data);
    std::string const out = fresh_dir("render") + "/out.png";
    auto const result = run(skinc() + " --render " + arguments + " --out " + out);
    EXPECT_EQ(result.exit_code, GetParam().exit_code);
    EXPECT_NE(result.error.find(GetParam().message), std::string::npos) << result.error;
    EXPECT_EQ(std::count(result.error.begin(), result.error.end(), '\n'), GetParam().exit_code == 1 ? 1 : 3);
    EXPECT_FALSE(file_exists(out));
}

INSTANTIATE_TEST_SUITE_P(Faults, RenderError,
    testing::Values(BadRender { "missing_entry", "DATA/golden.skin Nothing --size 10x10", 1, "has no entry Nothing" },
        BadRender { "unregistered_type", "DATA/widgets.skin Unregistered --size 10x10", 1, "widget" },
        BadRender { "not_a_skin", "DATA/grid.bmp Panel --size 10x10", 1, "cannot be loaded as a skin" },
        BadRender { "bad_size", "DATA/golden.skin Panel --size 10y10", 2, "usage" },
        BadRender { "zero_size", "DATA/golden.skin Panel --size 0x10", 2, "usage" },
        BadRender { "bad_dpi", "DATA/golden.skin Panel --size 10x10@x", 2, "usage" }),
    [](auto const& info) { return std::string(info.param.name); });

} // namespace
