#include "AudioTestSupport.h"

#include <TestSupport.h>
#include <audio/formats/WaveHeader.h>
#include <gtest/gtest.h>

using namespace audio;
using testing_support::read_file;

namespace {

uint32_t u32_at(std::string const& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16
        | uint32_t(uint8_t(s[at + 3])) << 24;
}

uint16_t u16_at(std::string const& s, size_t at)
{
    return static_cast<uint16_t>(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8);
}

std::string written(WaveHeader const& header)
{
    std::string const path = testing_support::fresh_dir("header") + "/h.wav";
    os::File file(core::from_utf8(path), os::FileMode::Write);
    EXPECT_TRUE(header.write(file));
    return read_file(path);
}

WaveHeader read_back(std::string const& bytes)
{
    std::string const path = testing_support::fresh_dir("header") + "/r.wav";
    testing_support::write_file(path, bytes);
    os::File file(core::from_utf8(path), os::FileMode::Read);
    WaveHeader header;
    header.fact_offset = 1; // read must start afresh
    if (!header.read(file))
        header.format_tag = 0xDEAD;
    return header;
}

TEST(WaveHeader, NewHeadersAreLaidOutCanonically)
{
    WaveHeader pcm = WaveHeader::pcm({ 2, 16, 22050 });
    pcm.data_size = 400;
    std::string const p = written(pcm);
    ASSERT_EQ(p.size(), 44u);
    EXPECT_EQ(p.substr(0, 4) + p.substr(8, 8) + p.substr(36, 4), "RIFFWAVEfmt data");
    EXPECT_EQ(u32_at(p, 4), 44u + 400 - 8);
    EXPECT_EQ(u32_at(p, 16), 16u);
    EXPECT_EQ(u16_at(p, 20), 1);
    EXPECT_EQ(u16_at(p, 22), 2);
    EXPECT_EQ(u32_at(p, 24), 22050u);
    EXPECT_EQ(u32_at(p, 28), 22050u * 4);
    EXPECT_EQ(u16_at(p, 32), 4);
    EXPECT_EQ(u16_at(p, 34), 16);
    EXPECT_EQ(u32_at(p, 40), 400u);

    std::string const a = written(WaveHeader::adpcm(1, 8000));
    ASSERT_EQ(a.size(), 90u);
    EXPECT_EQ(u32_at(a, 16), 50u);
    EXPECT_EQ(u16_at(a, 20), 2);
    EXPECT_EQ(u16_at(a, 32), 256); // block align below 22050 Hz
    EXPECT_EQ(u16_at(a, 34), 4);
    EXPECT_EQ(u16_at(a, 36), 32); // cbSize
    EXPECT_EQ(u16_at(a, 38), 500); // (256 - 7) x 8 / 4 + 2
    EXPECT_EQ(u16_at(a, 40), 7);
    int16_t const pairs[] = { 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232 };
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(int16_t(u16_at(a, 42 + 2 * size_t(i))), pairs[i]) << i;
    EXPECT_EQ(a.substr(70, 4) + a.substr(82, 4), "factdata");
    EXPECT_EQ(u32_at(a, 28), 8000u * 256 / 500);

    std::string const g = written(WaveHeader::gsm());
    ASSERT_EQ(g.size(), 60u);
    EXPECT_EQ(u32_at(g, 16), 20u);
    EXPECT_EQ(u16_at(g, 20), 49);
    EXPECT_EQ(u16_at(g, 22), 1);
    EXPECT_EQ(u32_at(g, 24), 8000u);
    EXPECT_EQ(u32_at(g, 28), 1625u);
    EXPECT_EQ(u16_at(g, 32), 65);
    EXPECT_EQ(u16_at(g, 34), 0);
    EXPECT_EQ(u16_at(g, 36), 2);
    EXPECT_EQ(u16_at(g, 38), 320);
    EXPECT_EQ(g.substr(40, 4) + g.substr(52, 4), "factdata");

    // Each reads back as what it was, with the data where the layout puts it.
    EXPECT_EQ(read_back(p).data_start, 44u);
    EXPECT_EQ(read_back(p).format(), (AudioFormat { 2, 16, 22050 }));
    WaveHeader const ra = read_back(a);
    EXPECT_TRUE(ra.passes_adpcm_checks());
    EXPECT_EQ(ra.data_start, 90u);
    EXPECT_EQ(ra.fact_offset, 78u);
    WaveHeader const rg = read_back(g);
    EXPECT_TRUE(rg.passes_gsm_checks());
    EXPECT_EQ(rg.data_start, 60u);
}

TEST(WaveHeader, ReaderChecksRejectWhatTheDecodersCannotTake)
{
    std::string const gsm = written(WaveHeader::gsm());
    std::string stereo = gsm;
    stereo[22] = 2;
    EXPECT_FALSE(read_back(stereo).passes_gsm_checks());
    std::string rate = gsm;
    rate.replace(24, 4, std::string("\x11\x2B\0\0", 4)); // 11025
    EXPECT_FALSE(read_back(rate).passes_gsm_checks());

    // Six coefficient pairs: the count and the chunk say so consistently, and the file still fails.
    std::string six = written(WaveHeader::adpcm(1, 8000));
    six.erase(66, 4);
    six[40] = 6;
    six[16] = 46;
    WaveHeader const h = read_back(six);
    EXPECT_EQ(h.coefficient_count, 6);
    EXPECT_FALSE(h.passes_adpcm_checks());
    // A count that the chunk does not hold is not read at all.
    std::string lying = written(WaveHeader::adpcm(1, 8000));
    lying[40] = 100;
    EXPECT_EQ(read_back(lying).format_tag, 0xDEAD);
}

TEST(WaveHeader, ChunksBeforeTheDataAreSkippedAndCutFilesFail)
{
    std::string const plain = audio_test::wav_bytes(1, 1, 8000, 16, std::string(100, '\x01'));
    std::string with_list = plain;
    with_list.insert(36, std::string("LIST\x06\0\0\0abcdef", 14));
    WaveHeader const h = read_back(with_list);
    EXPECT_EQ(h.data_start, 44u + 14);
    EXPECT_EQ(h.data_size, 100u);

    EXPECT_EQ(read_back(plain.substr(0, 40)).format_tag, 0xDEAD) << "no data chunk";
    std::string huge = with_list;
    huge[40] = '\x7F'; // the LIST chunk claims more than the file holds
    EXPECT_EQ(read_back(huge).format_tag, 0xDEAD);
    EXPECT_EQ(read_back("RIFX" + plain.substr(4)).format_tag, 0xDEAD);
}

} // namespace
