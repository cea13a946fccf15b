#include "SkinTestSupport.h"

#include <gtest/gtest.h>
#include <skin/PictureHolder.h>

using namespace skin;
using namespace testing_support;

namespace {

void put16(std::string& out, uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A BMP file of 3 pixels a row; file row r holds the pixels 10r + 1, 10r + 2, 10r + 3.
std::string bmp(int32_t height, uint16_t bits = 16, int32_t width = 3)
{
    std::string out = "BM";
    put32(out, 0);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, 1);
    put16(out, bits);
    out.append(24, '\0');
    int32_t const rows = height < 0 ? -height : height;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t x = 0; x < width; ++x)
            put16(out, static_cast<uint32_t>(10 * r + x + 1));
        out.append(static_cast<size_t>((16 * width + 31) / 32 * 4 - width * 2), '\0');
    }
    return out;
}

TEST(LoadBmp, NegativeHeightKeepsRowOrderPositiveSwapsIt)
{
    std::string const dir = fresh_dir("bmp");
    write_file(dir + "/down.bmp", bmp(-2));
    write_file(dir + "/up.bmp", bmp(2));
    auto const down = load_565(core::from_utf8(dir + "/down"));
    auto const up = load_565(core::from_utf8(dir + "/up"));
    ASSERT_TRUE(down && up);
    EXPECT_EQ(down->size(), (Point { 3, 2 }));
    EXPECT_EQ(down->name(), core::from_utf8(dir + "/down"));
    for (int32_t x = 0; x < 3; ++x) {
        EXPECT_EQ(down->bitmap().at(x, 0), x + 1);
        EXPECT_EQ(down->bitmap().at(x, 1), x + 11);
        EXPECT_EQ(up->bitmap().at(x, 0), x + 11);
        EXPECT_EQ(up->bitmap().at(x, 1), x + 1);
    }
}

TEST(LoadBmp, RefusesOtherDepthsAndLogs)
{
    std::string const dir = fresh_dir("bmp");
    write_file(dir + "/deep.bmp", bmp(2, 24));
    skin_testing::LogCapture log;
    EXPECT_FALSE(load_565(core::from_utf8(dir + "/deep")));
    EXPECT_TRUE(log.contains(u"load_565 " + core::from_utf8(dir + "/deep") + u" is not 16bit bitmap\n"))
        << core::to_utf8(log.text());
    EXPECT_FALSE(load_565(core::from_utf8(dir + "/missing")));
}

// Damaged files are refused without reading past their end: every truncation, and sizes that overflow.
TEST(LoadBmp, DamagedFilesAreRefused)
{
    std::string const whole = bmp(-5, 16, 7);
    // Rows of 7 pixels are padded by 2 bytes; the last row's padding is not needed.
    for (size_t length = 0; length < whole.size() - 2; ++length)
        EXPECT_FALSE(decode_bmp565(reinterpret_cast<uint8_t const*>(whole.data()), length, u"cut")) << length;
    EXPECT_TRUE(decode_bmp565(reinterpret_cast<uint8_t const*>(whole.data()), whole.size() - 2, u"whole"));
    for (int32_t height : { INT32_MIN, 0, 1 << 20 }) {
        std::string const odd = bmp(1).substr(0, 54) + std::string(64, '\0');
        std::string patched = odd;
        for (int i = 0; i < 4; ++i)
            patched[22 + i] = static_cast<char>((static_cast<uint32_t>(height) >> (8 * i)) & 0xFF);
        EXPECT_FALSE(decode_bmp565(reinterpret_cast<uint8_t const*>(patched.data()), patched.size(), u"odd")) << height;
    }
    std::string far = whole;
    far[10] = '\xFF';
    far[13] = '\x7F'; // pixel data beyond the file
    EXPECT_FALSE(decode_bmp565(reinterpret_cast<uint8_t const*>(far.data()), far.size(), u"far"));
}

} // namespace
