// The shipped forms with sample content, pixel for pixel. RAVELIN_UPDATE_GOLDEN=1 writes new references.
#include "SkinTestSupport.h"

using namespace skin_testing;

namespace {

struct Shot {
    char const* preview; // a preview of data/skins/default/sample-LANGUAGE.txt, or FormSplash
    char const* size;
    char const* language;
};

std::string shot_name(Shot const& shot)
{
    std::string size = shot.size;
    std::replace(size.begin(), size.end(), '@', '_');
    return std::string("default_") + shot.preview + "_" + size + "_" + shot.language;
}

class DefaultSkinGolden : public testing::TestWithParam<Shot> { };

TEST_P(DefaultSkinGolden, MatchesTheReference)
{
    auto const& shot = GetParam();
    bool const splash = std::string(shot.preview) == "FormSplash";
    std::string const output = rendered_dir() + "/" + shot_name(shot) + ".png";
    std::string const language = std::string(shot.language);
    auto const result = run(SKINC + " --render " + bin_dir() + "/skins/bin/" + (splash ? "splash" : "default")
        + ".skin " + shot.preview + " --size " + shot.size + " --out " + output + " --lang " + bin_dir() + "/"
        + language + ".lng --sample " + source_dir() + "/data/skins/default/sample-" + language + ".txt");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    // The transparent key never reaches the screen: a picture drawn without the keyed blitter shows it.
    platform::PngPicture picture;
    std::string error;
    ASSERT_TRUE(platform::read_png(output, 3, picture, error)) << error;
    int64_t keyed = 0;
    for (size_t i = 0; i + 2 < picture.pixels.size(); i += 3)
        keyed += picture.pixels[i] >= 0xF8 && picture.pixels[i + 1] < 0x08 && picture.pixels[i + 2] >= 0xF8;
    EXPECT_EQ(keyed, 0) << "pixels of the transparent key";
    expect_golden_file(shot_name(shot), output);
}

std::vector<Shot> shots()
{
    std::vector<Shot> list;
    for (char const* preview : { "FormMain", "FormMainFilter", "FormMainEmpty", "FormRecording", "FormRecordingCall",
             "FormView", "MainMenu", "Settings", "Boost", "ViewMenu", "FormConfirmation", "FormError", "FormEdit",
             "QuickRecord", "FormSplash" }) {
        list.push_back({ preview, "240x320@96", "english" });
        list.push_back({ preview, "640x480@192", "russian" });
    }
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Shipped, DefaultSkinGolden, testing::ValuesIn(shots()), [](auto const& info) { return shot_name(info.param); });

} // namespace
