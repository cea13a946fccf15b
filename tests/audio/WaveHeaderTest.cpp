#include "AudioTestSupport.h"

#include <TestSupport.h>
#include <audio/formats/WaveHeader.h>
#include <gtest/gtest.h>

using namespace audio;
using audio_test::le;
using testing_support::read_file;

namespace {

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
    EXPECT_EQ(p, audio_test::wav_bytes(1, 2, 22050, 16, std::string(400, '\0')).substr(0, 44));

    // ADPCM below 22050 Hz: blocks of 256 bytes holding (256 - 7) x 8 / 4 + 2 = 500 samples, the seven
    // standard coefficient pairs, and a fact chunk, as GSM has.
    std::string adpcm = le(2, 2) + le(1, 2) + le(8000, 4) + le(8000 * 256 / 500, 4) + le(256, 2) + le(4, 2) + le(32, 2)
        + le(500, 2) + le(7, 2);
    for (int c : { 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232 })
        adpcm += le(static_cast<uint16_t>(c), 2);
    std::string const fact = audio_test::chunk("fact", le(0, 4));
    std::string const a = written(WaveHeader::adpcm(1, 8000));
    EXPECT_EQ(a, audio_test::riff_wave(adpcm, "", fact));
    std::string const g = written(WaveHeader::gsm());
    EXPECT_EQ(g, audio_test::riff_wave(audio_test::gsm_fmt(), "", fact));

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
    rate.replace(24, 4, le(11025, 4));
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
    std::string const data(100, '\x01');
    std::string const plain = audio_test::wav_bytes(1, 1, 8000, 16, data);
    std::string const with_list
        = audio_test::riff_wave(audio_test::fmt16(1, 1, 8000, 16), data, audio_test::chunk("LIST", "abcdef"));
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
