#include "SkinTestSupport.h"

#include <skin/PictureHolder.h>

using namespace skin;
using namespace skin_testing;

namespace {

// A BMP file of `width` pixels a row; file row r holds the pixels 10r + 1, 10r + 2, ...
std::string bmp(int32_t height, uint16_t bits = 16, int32_t width = 3)
{
    Bytes out { { 'B', 'M' } };
    for (uint32_t v : { 0u, 0u, 54u, 40u, static_cast<uint32_t>(width), static_cast<uint32_t>(height) })
        out.add32(v);
    out.add16(1);
    out.add16(bits);
    out.data.resize(54);
    for (int32_t r = 0; r < std::abs(height); ++r) {
        for (int32_t x = 0; x < width; ++x)
            out.add16(static_cast<uint32_t>(10 * r + x + 1));
        out.data.resize(out.data.size() + static_cast<size_t>((16 * width + 31) / 32 * 4 - width * 2));
    }
    return out.str();
}

auto const decodes = [](std::string const& bytes, size_t length) {
    return decode_bmp565(reinterpret_cast<uint8_t const*>(bytes.data()), length, u"test") != nullptr;
};

// A negative height keeps the rows in order, a positive one swaps them; other depths and missing files
// are refused.
TEST(LoadBmp, RowOrderFollowsTheHeightsSignAndDamagedFilesAreRefused)
{
    std::string const dir = fresh_dir("bmp");
    write_file(dir + "/down.bmp", bmp(-2));
    write_file(dir + "/up.bmp", bmp(2));
    write_file(dir + "/deep.bmp", bmp(2, 24));
    auto const down = load_565(core::from_utf8(dir + "/down"));
    auto const up = load_565(core::from_utf8(dir + "/up"));
    ASSERT_TRUE(down && up);
    EXPECT_EQ(std::tuple(down->size(), down->name()), std::tuple(Point { 3, 2 }, core::from_utf8(dir + "/down")));
    for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(
            std::tuple(down->bitmap().at(x, 0), down->bitmap().at(x, 1), up->bitmap().at(x, 0), up->bitmap().at(x, 1)),
            std::tuple(x + 1, x + 11, x + 11, x + 1));
    EXPECT_FALSE(load_565(core::from_utf8(dir + "/deep")) || load_565(core::from_utf8(dir + "/missing")));
    // Damaged files are refused without reading past their end: every truncation, and sizes that overflow.
    std::string const whole = bmp(-5, 16, 7);
    // Rows of 7 pixels are padded by 2 bytes; the last row's padding is not needed.
    for (size_t length = 0; length < whole.size() - 2; ++length)
        EXPECT_FALSE(decodes(whole, length)) << length;
    EXPECT_TRUE(decodes(whole, whole.size() - 2));
    for (int32_t height : { INT32_MIN, 0, 1 << 20 }) {
        Bytes odd { std::vector<uint8_t>(118, 0) };
        std::string const header = bmp(1);
        std::copy(header.begin(), header.begin() + 54, odd.data.begin());
        odd.put32(22, static_cast<uint32_t>(height));
        EXPECT_FALSE(decodes(odd.str(), odd.size())) << height;
    }
    std::string far = whole;
    far[10] = '\xFF';
    far[13] = '\x7F'; // pixel data beyond the file
    EXPECT_FALSE(decodes(far, far.size()));
}

} // namespace
