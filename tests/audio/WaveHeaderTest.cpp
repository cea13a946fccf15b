#include "../../fuzz/MemoryStream.h"
#include "AudioTestSupport.h"

#include <audio/formats/WaveHeader.h>

using namespace audio;
using audio_test::chunk;
using audio_test::fmt16;
using audio_test::le;
using audio_test::riff_wave;
using testing_support::numbers;
using testing_support::read_file;

namespace {

std::string written(WaveHeader const& header)
{
    std::string const path = testing_support::fresh_dir("header") + "/h.wav";
    os::File file(core::from_utf8(path), os::FileMode::Write);
    EXPECT_TRUE(header.write(file));
    return read_file(path);
}

// The header read from `bytes`; a refused one has the tag 0xDEAD, and says why in `why`.
WaveHeader read_back(std::string const& bytes, std::string* why = nullptr)
{
    std::string const path = testing_support::fresh_dir("header") + "/r.wav";
    testing_support::write_file(path, bytes);
    os::File file(core::from_utf8(path), os::FileMode::Read);
    WaveHeader header;
    header.fact_offset = 1; // read must start afresh
    if (!header.read(file, why))
        header.format_tag = 0xDEAD;
    return header;
}

// GSM's header carries a fact chunk, as ADPCM's does.
TEST(WaveHeader, ANewGsmHeaderHasAFactChunk)
{
    EXPECT_EQ(written(WaveHeader::gsm()), riff_wave(audio_test::gsm_fmt(), "", chunk("fact", le(0, 4))));
}

TEST(WaveHeader, ReaderChecksRejectWhatTheDecodersCannotTake)
{
    std::string const gsm = written(WaveHeader::gsm());
    std::string stereo = gsm, rate = gsm;
    stereo[22] = 2;
    rate.replace(24, 4, le(11025, 4));
    EXPECT_FALSE(read_back(stereo).passes_gsm_checks() || read_back(rate).passes_gsm_checks());

    // Six coefficient pairs: the count and the chunk say so consistently, and the file still fails.
    std::string six = written(WaveHeader::adpcm(1, 8000));
    six.erase(66, 4);
    six[40] = 6;
    six[16] = 46;
    WaveHeader const h = read_back(six);
    EXPECT_TRUE(h.coefficient_count == 6 && !h.passes_adpcm_checks());
    // A count that the chunk does not hold is not read at all.
    std::string lying = written(WaveHeader::adpcm(1, 8000));
    lying[40] = 100;
    EXPECT_EQ(read_back(lying).format_tag, 0xDEAD);
}

// RIFF pads a chunk of odd size with a byte that its size does not count: the data lies after the pad.
TEST(WaveHeader, ChunksBeforeTheDataAreSkippedWithTheirPad)
{
    std::string const data(100, '\x01');
    for (std::string const& skipped : { riff_wave(fmt16(1, 1, 8000, 16), data, chunk("LIST", "abcdef")),
             riff_wave(fmt16(1, 1, 8000, 16), data, chunk("note", "abcde") + '\0') }) {
        WaveHeader const h = read_back(skipped);
        EXPECT_EQ(numbers(h.data_start, h.data_size, h.passes_pcm_checks()), numbers(44 + 14, 100, true));
    }
}

// A refusal names the chunk, where it stands and what is wrong with it.
TEST(WaveHeader, RefusalsSayWhichChunkWhereAndWhy)
{
    std::string const data(100, '\x01');
    std::string cut = riff_wave(fmt16(1, 1, 8000, 16), data, chunk("LIST", "ab"));
    cut[40] = '\x7F';
    std::pair<std::string, std::string> const cases[] = {
        // the file, and how its refusal begins
        { "RIFX" + audio_test::wav_bytes(1, 1, 8000, 16, data).substr(4), "not a RIFF WAVE file" },
        { riff_wave(fmt16(1, 1, 8000, 16).substr(0, 14), data), "chunk 'fmt ' at byte 12: it holds 14 bytes" },
        { cut, "chunk 'LIST' at byte 36: its 127 bytes run past the end of the file" },
        { chunk("RIFF", "WAVE" + chunk("data", data)), "chunk 'data' at byte 12: comes before" },
        // The last chunk ends where the file does: nothing runs past the end, the data is missing.
        { chunk("RIFF", "WAVE" + chunk("fmt ", fmt16(1, 1, 8000, 16)) + chunk("LIST", "ab")),
            "it has no 'data' chunk" },
    };
    for (auto const& [bytes, says] : cases) {
        std::string why;
        EXPECT_EQ(read_back(bytes, &why).format_tag, 0xDEAD);
        EXPECT_EQ(why.rfind(says, 0), 0u) << why;
    }
    EXPECT_EQ(read_back(riff_wave(audio_test::gsm_fmt(11025), std::string(65, '\0'))).refusal(),
        "chunk 'fmt ' at byte 12: GSM of 1 channels at 11025 samples per second (1 channel at "
        "8000 is played)");
    std::pair<std::string, std::string> const formats[] = {
        { audio_test::wav_bytes(0x55, 1, 8000, 16, data),
            "coding 85 is not PCM, float, A-law, mu-law, ADPCM, IMA ADPCM or GSM" },
        { audio_test::wav_bytes(1, 0, 8000, 16, data), "it has no channels" },
        { audio_test::wav_bytes(1, 1, 0, 16, data), "its sample rate is 0" },
        { audio_test::wav_bytes(17, 3, 8000, 8, data), "IMA ADPCM of 3 channels (1 or 2 are played)" },
        { audio_test::wav_bytes(17, 2, 8000, 4, data),
            "IMA ADPCM blocks of 1 bytes, too small for one word of each channel" },
    };
    for (auto const& [bytes, says] : formats)
        EXPECT_EQ(read_back(bytes).refusal(), "chunk 'fmt ' at byte 12: " + says);
}

// The fuzzers' stream must read as a file does, also where a chunk of 0 bytes asks for nothing into no
// buffer (which the sanitizers took for a fault of the stream, not of the input).
TEST(WaveHeader, TheFuzzersStreamReadsAnEmptyChunkAsAFileDoes)
{
    std::string const bytes = riff_wave("", std::string(100, '\x01'));
    std::string from_file, from_memory;
    EXPECT_EQ(read_back(bytes, &from_file).format_tag, 0xDEAD);
    MemoryStream memory(reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size());
    EXPECT_FALSE(WaveHeader().read(memory, &from_memory));
    EXPECT_EQ(from_memory, from_file);
    EXPECT_EQ(from_file.rfind("chunk 'fmt ' at byte 12: it holds 0 bytes", 0), 0u) << from_file;
}

// WAVE_FORMAT_EXTENSIBLE: the sub-format decides the coding; one that is not a WAVE coding is refused.
TEST(WaveHeader, ExtensibleHeadersTakeTheirCodingFromTheSubFormat)
{
    std::string const guid_tail("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    auto extensible = [&](uint16_t coding, std::string const& tail) {
        std::string const fmt = le(0xFFFE, 2) + le(6, 2) + le(48000, 4) + le(48000 * 18, 4) + le(18, 2) + le(24, 2)
            + le(22, 2) + le(24, 2) + le(0x3F, 4) + le(coding, 2) + tail;
        return read_back(riff_wave(fmt, std::string(180, '\0')));
    };
    WaveHeader const h = extensible(1, guid_tail);
    EXPECT_EQ(numbers(h.coding(), h.channel_mask), numbers(WaveHeader::TAG_PCM, 0x3F));
    EXPECT_TRUE(h.passes_pcm_checks() && h.needs_conversion());
    EXPECT_EQ(extensible(1, std::string(14, '\x01')).format_tag, 0xDEAD);
}

} // namespace
