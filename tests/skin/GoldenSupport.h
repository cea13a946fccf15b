#pragma once

#include "SkinTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <platform/png.h>
#include <skin/Bitmap565.h>
#include <skin/BitmapPng.h>

#include <string>

namespace skin_testing {

// Where renderings and their differences from the references are written.
inline std::string rendered_dir()
{
    std::string const folder = std::string(RAVELIN_TEST_DATA_DIR) + "/skin/rendered";
    std::filesystem::create_directories(folder);
    return folder;
}

// Where the pixels differ: red on a dimmed copy of the reference; `count` differing pixels.
inline platform::PngPicture golden_difference(
    platform::PngPicture const& reference, platform::PngPicture const& rendered, int& count)
{
    platform::PngPicture diff = reference;
    count = 0;
    for (size_t i = 0; i + 2 < diff.pixels.size(); i += 3) {
        bool const same = std::equal(&reference.pixels[i], &reference.pixels[i] + 3, &rendered.pixels[i]);
        count += same ? 0 : 1;
        for (size_t c = 0; c < 3; ++c)
            diff.pixels[i + c] = same ? static_cast<uint8_t>(reference.pixels[i + c] / 4) : (c == 0 ? 255 : 0);
    }
    return diff;
}

// The PNG at `output` compared pixel for pixel with tests/skin/golden/NAME.png; a mismatch leaves
// NAME_err.png beside the output. RAVELIN_UPDATE_GOLDEN=1 makes the output the new reference.
inline void expect_golden_file(std::string const& name, std::string const& output)
{
    std::string const failed = rendered_dir() + "/" + name + "_err.png";
    std::filesystem::remove(failed);
    std::string const reference_path = testing_support::source_dir() + "/tests/skin/golden/" + name + ".png";
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
    int count = 0;
    platform::PngPicture const diff = golden_difference(reference, rendered, count);
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
