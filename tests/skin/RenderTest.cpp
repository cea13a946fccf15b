#include "GoldenSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string skinc()
{
    return bin_dir() + "/ravelin-skinc";
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
    std::string const output = skin_testing::rendered_dir() + "/" + g.name + ".png";
    auto const result = run(skinc() + " --render " + skin_testing::compiled_skins() + "/golden.skin " + g.entry
        + " --size " + g.size + " --out " + output);
    ASSERT_EQ(result.exit_code, 0) << result.error;
    skin_testing::expect_golden_file(g.name, output);
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
