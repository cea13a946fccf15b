// Pictures drawn at twice their size (NAME@2x.png beside NAME.png) on 192-dpi screens.
#include "SkinTestSupport.h"

using namespace skin_testing;

namespace {

// A picture whose every pixel differs: red from x, green from y, blue from the seed.
platform::PngPicture pattern(int32_t width, int32_t height, int32_t seed)
{
    platform::PngPicture picture { width, height, 3, {} };
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            picture.pixels.insert(picture.pixels.end(),
                { static_cast<uint8_t>(16 * x + 8), static_cast<uint8_t>(12 * y + 4), static_cast<uint8_t>(seed) });
    return picture;
}

// The pixels of `picture` as the skin draws them, each `scale` times in both directions.
auto pixels_of(platform::PngPicture const& picture, int32_t scale = 1)
{
    return [&picture, scale](int32_t x, int32_t y) {
        uint8_t const* p = &picture.pixels[3 * (static_cast<size_t>(y / scale) * picture.width + x / scale)];
        return static_cast<uint16_t>(((p[0] & 0xF8) << 8) | ((p[1] & 0xFC) << 3) | (p[2] >> 3) | 0x0020);
    };
}

class DoubleSizePicture : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::write_png(dir_ + "/sharp.png", once_)
            && platform::write_png(dir_ + "/sharp@2x.png", twice_) && platform::write_png(dir_ + "/plain.png", once_));
        write_file(dir_ + "/skin.xml",
            "<skin><element name=\"A\">"
            "<picture key=\"sharp\" src=\"sharp.png\"/><picture key=\"plain\" src=\"plain.png\"/>"
            "<picture key=\"grid\" src=\"sharp.png\" border=\"2 2 2 2\"/></element></skin>");
    }
    CommandResult compile() { return run(SKINC + " " + dir_ + "/skin.xml -o " + dir_ + "/skin.skin"); }

    // The picture `key` drawn by the compiled skin at `dpi` into a surface of `size`.
    skin::Bitmap565 const& draw(char16_t const* key, int32_t dpi, skin::Point size)
    {
        EXPECT_TRUE(properties_.load_skin(core::from_utf8(dir_ + "/skin.skin"), display(dpi)));
        surface_.recreate(size);
        skin::fill(surface_, {}, size, skin::Color {});
        auto const ref = properties_.lookup_picture(properties_.find_entry(u"A"), key, {});
        skin::draw_picture(surface_, {}, size, ref, skin::plain_blitter());
        return *surface_.bitmap();
    }

    std::string dir_ = fresh_dir("double");
    platform::PngPicture const once_ = pattern(6, 5, 40);
    platform::PngPicture const twice_ = pattern(12, 10, 200);
    skin::Properties properties_;
    skin::RenderSurface surface_;
};

TEST_F(DoubleSizePicture, IsDrawnAsItIsAt192DpiAndOthersAreDoubled)
{
    ASSERT_EQ(compile().exit_code, 0);
    EXPECT_TRUE(file_exists(dir_ + "/sharp@2x.bmp") && !file_exists(dir_ + "/plain@2x.bmp"));
    expect_pixels(draw(u"sharp", 192, { 12, 10 }), pixels_of(twice_));
    expect_pixels(draw(u"plain", 192, { 12, 10 }), pixels_of(once_, 2));
    expect_pixels(draw(u"sharp", 96, { 6, 5 }), pixels_of(once_));
    // Nine-grid corners keep their doubled coordinates: a 2-pixel border is 4 pixels of the larger
    // drawing, and the middle repeats from it. Across: corner 0-4, middle 4-16 repeating source 4-8,
    // corner 16-20 from source 8-12; down the same with the middle 4-10 repeating source 4-6.
    expect_pixels(draw(u"grid", 192, { 20, 14 }), [&](int32_t x, int32_t y) {
        int32_t const sx = x < 4 ? x : x < 16 ? 4 + (x - 4) % 4 : x - 8;
        int32_t const sy = y < 4 ? y : y < 10 ? 4 + (y - 4) % 2 : y - 4;
        return pixels_of(twice_)(sx, sy);
    });
    // A double-size file that does not match the picture (replaced after compiling) is ignored: the
    // picture is doubled as before.
    std::filesystem::copy_file(
        dir_ + "/plain.bmp", dir_ + "/sharp@2x.bmp", std::filesystem::copy_options::overwrite_existing);
    expect_pixels(draw(u"sharp", 192, { 12, 10 }), pixels_of(once_, 2));
}

TEST_F(DoubleSizePicture, OfTheWrongSizeIsRefused)
{
    ASSERT_TRUE(platform::write_png(dir_ + "/sharp@2x.png", pattern(12, 9, 1)));
    expect_refused(compile(), 1, "sharp@2x.png is 12x9, not twice 6x5", dir_ + "/skin.skin");
}

// An SVG picture is drawn by the compiler at both sizes: 4 x 3 for 96 dpi, 8 x 6 for 192 dpi, each
// with its left half red and its right half blue.
TEST(SvgPicture, IsDrawnAtBothSizesOrIsAnErrorOfItsLine)
{
    std::string const dir = fresh_dir("svg");
    write_file(dir + "/halves.svg",
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"3\">"
        "<rect width=\"2\" height=\"3\" fill=\"#FF0000\"/><rect x=\"2\" width=\"2\" height=\"3\" "
        "fill=\"#0000FF\"/></svg>");
    write_file(dir + "/skin.xml", "<skin><element name=\"A\"><picture key=\"p\" src=\"halves.svg\"/></element></skin>");
    auto const result = run(SKINC + " " + dir + "/skin.xml -o " + dir + "/skin.skin");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    for (int32_t scale : { 1, 2 }) {
        skin::Properties properties;
        ASSERT_TRUE(properties.load_skin(core::from_utf8(dir + "/skin.skin"), display(96 * scale)));
        auto const ref = properties.lookup_picture(properties.find_entry(u"A"), u"p", {});
        ASSERT_TRUE(ref.picture && ref.picture->size().x == 4 * scale);
        skin::RenderSurface surface(skin::Point { 4 * scale, 3 * scale });
        skin::draw_picture(surface, {}, surface.size(), ref, skin::plain_blitter());
        expect_pixels(
            *surface.bitmap(), [&](int32_t x, int32_t) -> uint16_t { return x < 2 * scale ? 0xF820 : 0x003F; });
    }
    // One that cannot be drawn is an error of its line.
    std::string const broken = fresh_dir("svg");
    write_file(broken + "/broken.svg", "<svg");
    write_file(
        broken + "/skin.xml", "<skin>\n<element name=\"A\"><picture key=\"p\" src=\"broken.svg\"/></element></skin>");
    expect_refused(run(SKINC + " " + broken + "/skin.xml -o " + broken + "/skin.skin"), 1,
        "skin.xml: line 2: rsvg-convert cannot draw", broken + "/skin.skin");
}

} // namespace
