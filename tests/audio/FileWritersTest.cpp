#include "AudioTestSupport.h"

#include <audio/formats/FileWriterMP3.h>
#include <audio/formats/FlacStream.h>
#include <audio/formats/OggPage.h>
#include <audio/formats/WaveHeader.h>
#include <cerrno>
#include <cmath>
#include <platform/signals.h>
#include <sys/resource.h>

using namespace audio;
using audio_test::pcm16;
using audio_test::wav_bytes;
using testing_support::ffmpeg_samples;
using testing_support::file_exists;
using testing_support::probed_duration;
using testing_support::read_file;
using testing_support::write_file;

namespace {

std::vector<int16_t> tone(size_t count, int channels = 1)
{
    std::vector<int16_t> s(count * size_t(channels));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(9000 * std::sin(double(i / size_t(channels)) * 0.07));
    return s;
}

AudioBuffer pcm(std::vector<int16_t> const& samples, int channels = 1)
{
    return audio_test::buffer16(samples, 8000, channels);
}

std::unique_ptr<FileWriter> writer(std::string const& path, char16_t const* format, bool append)
{
    return create_writer(core::from_utf8(path), format, 1, 16, 8000, 0, append);
}

TEST(FileWriters, TheFactoryKnowsFourFormatsByTheirExactNames)
{
    std::string const dir = testing_support::fresh_dir("factory");
    // Bit rates: average bytes per second x 8 for WAV, the configured rate for MP3.
    // FLAC's is what it has written so far, PCM's until then.
    std::pair<char16_t const*, int32_t> const kinds[] = { { u"PCM", 128000 }, { u"ADPCM", 8000 * 256 / 500 * 8 },
        { u"GSM", 13000 }, { u"mp3", 64000 }, { u"Opus", 64000 }, { u"FLAC", 128000 } };
    for (auto const& [name, bit_rate] : kinds) {
        auto w = create_writer(core::from_utf8(dir + "/x"), name, 1, 16, 8000, 64000, false);
        ASSERT_TRUE(w && w->status().is_good());
        EXPECT_EQ(std::tuple(w->format_name(), w->rate_info().bit_rate()), std::tuple(name, bit_rate));
    }
    EXPECT_FALSE(writer(dir + "/x", u"pcm", false) || writer(dir + "/x", u"Vorbis", false));
    EXPECT_FALSE(file_exists(dir + "/x")) << "a new writer that got nothing leaves no file";
}

TEST(FileWriters, OnlyTheWritersOwnKindLinksStraightToTheFile)
{
    std::string const dir = testing_support::fresh_dir("links");
    auto w = writer(dir + "/a.wav", u"ADPCM", false);
    AudioProducer reader;
    EXPECT_FALSE(w->link_pcm(reader) || w->link_gsm(reader) || w->link_mp3(reader) || w->link_vorbis(reader)
        || w->link_mpc(reader));
    EXPECT_TRUE(w->link_adpcm(reader)); // what goes through it: the readers' test
}

TEST(FileWriters, AContinuedPcmFileGrowsFromItsDataEnd)
{
    std::string const path = testing_support::fresh_dir("append") + "/p.wav";
    std::string const old = pcm16(tone(301));
    // Bytes after the data (a trailing chunk) are not audio: continuing replaces them.
    write_file(path, wav_bytes(1, 1, 8000, 16, old) + audio_test::chunk("LIST", "abcd"));
    auto w = writer(path, u"PCM", true);
    ASSERT_TRUE(w->status().is_good());
    EXPECT_EQ(w->status().bytes_written(), old.size());
    std::vector<int16_t> const more = tone(77);
    w->input().on_data(pcm(more));
    w->input().on_data(pcm(more, 2)); // another format is dropped
    EXPECT_TRUE(w->status().is_good());
    w.reset();
    EXPECT_EQ(read_file(path), wav_bytes(1, 1, 8000, 16, old + pcm16(more)));
}

TEST(FileWriters, AFileThatCannotBeContinuedIsLeftAlone)
{
    std::string const dir = testing_support::fresh_dir("refuse");
    std::string const junk = "RIFF\x10\0\0\0WAVEjunk and more junk";
    auto cases = std::vector<std::pair<char16_t const*, std::string>> {
        { u"PCM", junk }, { u"GSM", wav_bytes(1, 1, 8000, 16, std::string(64, '\0')) }, // PCM is not GSM
    };
    for (auto const& [format, bytes] : cases) {
        write_file(dir + "/f.wav", bytes);
        auto w = writer(dir + "/f.wav", format, true);
        EXPECT_FALSE(w->status().is_good());
        w->input().on_data(pcm(tone(640)));
        w.reset();
        EXPECT_EQ(read_file(dir + "/f.wav"), bytes);
    }
    auto w = writer(dir + "/missing.wav", u"PCM", true);
    EXPECT_FALSE(w->status().is_good());
    w.reset();
    EXPECT_FALSE(file_exists(dir + "/missing.wav"));
}

TEST(FileWriters, APartialFrameIsCutBackAndEndsTheFile)
{
    std::string const path = testing_support::fresh_dir("partial") + "/p.wav";
    auto w = writer(path, u"PCM", false);
    AudioBuffer b = pcm(tone(5), 2); // 10 bytes: two stereo frames and a half
    w->input().on_data(b);
    EXPECT_FALSE(w->status().is_good());
    EXPECT_EQ(w->status().bytes_written(), 8u);
    w.reset();
    EXPECT_EQ(read_file(path), wav_bytes(1, 2, 8000, 16, audio_test::bytes_of(b).substr(0, 8)));
}

TEST(FileWriters, AContinuedFileKeepsItsOwnChunkLayout)
{
    // A fact chunk and a LIST chunk between fmt and data, as other recorders write them.
    std::string const path = testing_support::fresh_dir("layout") + "/l.wav";
    std::string const extra = audio_test::chunk("fact", audio_test::le(100, 4)) + audio_test::chunk("LIST", "ravel!");
    auto file = [&](std::string const& data) {
        return audio_test::riff_wave(audio_test::fmt16(1, 1, 8000, 16), data, extra);
    };
    write_file(path, file(pcm16(tone(100))));

    auto w = writer(path, u"PCM", true);
    w->input().on_data(pcm(tone(50)));
    w.reset();
    // The chunks before the data stay as they were; the sizes grow.
    EXPECT_EQ(read_file(path), file(pcm16(tone(100)) + pcm16(tone(50))));
    auto const probe = testing_support::run("soxi -s " + path);
    EXPECT_EQ(probe.output, "150\n") << probe.error;
}

// Continuing an ADPCM file written with blocks of another size than ours.
TEST(FileWriters, AContinuedAdpcmFileIsCodedInItsOwnBlockSize)
{
    std::string const dir = testing_support::fresh_dir("adpcm");
    auto make = [&](uint16_t samples_per_block) {
        WaveHeader h = WaveHeader::adpcm(1, 8000, 512);
        h.samples_per_block = samples_per_block;
        os::File file(core::from_utf8(dir + "/a.wav"), os::FileMode::Write);
        EXPECT_TRUE(h.write(file));
    };
    make(WaveHeader::adpcm_samples_per_block(512, 1));
    auto w = writer(dir + "/a.wav", u"ADPCM", true);
    ASSERT_TRUE(w->status().is_good());
    std::vector<int16_t> const input = tone(1012 * 3);
    w->input().on_data(pcm(input));
    w.reset();
    std::string const file = read_file(dir + "/a.wav");
    ASSERT_EQ(file.size(), 90u + 3 * 512);
    EXPECT_EQ(audio_test::le_at(file, 78), 3u * 1012) << "fact sample count";
    // A peer decodes the blocks where the header says they are.
    auto const decoded = testing_support::run("sox " + dir + "/a.wav -t s16 -");
    ASSERT_EQ(decoded.output.size(), input.size() * 2) << decoded.error;
    EXPECT_GT(testing_support::snr(input, audio_test::samples16(decoded.output)), 25.0);

    // A header whose samples per block do not go with its block size cannot be followed: refused.
    make(500);
    std::string const before = read_file(dir + "/a.wav");
    w = writer(dir + "/a.wav", u"ADPCM", true);
    EXPECT_FALSE(w->status().is_good());
    w->input().on_data(pcm(input));
    w.reset();
    EXPECT_EQ(read_file(dir + "/a.wav"), before);
}

// Runs `action` on a full disk: a file-size limit (ulimit -f) past which writes fail (EFBIG).
template <typename Action> void on_a_full_disk(Action action, rlim_t bytes = 16)
{
    platform::ignore_file_size_signal();
    rlimit before {};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit const limit { bytes, before.rlim_max };
    ::setrlimit(RLIMIT_FSIZE, &limit);
    action();
    ::setrlimit(RLIMIT_FSIZE, &before);
}

TEST(FileWriters, AFailingDiskEndsTheWriters)
{
    std::string const dir = testing_support::fresh_dir("full");
    testing_support::LogCapture log;
    // A continued WAV file with room for 50 more frames and half of one: the half is cut back, and the
    // header counts what is there.
    std::string const old = pcm16(tone(100));
    write_file(dir + "/a.wav", wav_bytes(1, 1, 8000, 16, old));
    auto wav = writer(dir + "/a.wav", u"PCM", true);
    on_a_full_disk([&] { wav->input().on_data(pcm(tone(400))); }, 44 + old.size() + 101);
    EXPECT_FALSE(wav->status().is_good());
    wav.reset();
    EXPECT_EQ(read_file(dir + "/a.wav"), wav_bytes(1, 1, 8000, 16, old + pcm16(tone(400)).substr(0, 100)));

    write_file(dir + "/b.mp3", "");
    FileWriterMP3 mp3(core::from_utf8(dir + "/b.mp3"), true);
    EXPECT_TRUE(mp3.status().is_good());
    std::vector<uint8_t> const coded(10000, 0x55);
    AudioBuffer const b(core::SharedBuffer(coded.size(), coded.data()), {});
    mp3.on_data(b); // staged
    EXPECT_TRUE(mp3.status().is_good());
    on_a_full_disk([&] { mp3.on_data(b); }); // the staging is written, and fails
    EXPECT_FALSE(mp3.status().is_good());
    EXPECT_TRUE(log.contains("FileWriterMP3::on_data1 error=" + std::to_string(EFBIG) + "\n")) << log.utf8();
    mp3.on_data(b);
    EXPECT_EQ(mp3.status().bytes_written(), 20000u) << "later buffers are dropped";
}

// Mono buffers of 0.2 s at `rate`, as the capture gives them, into a writer; answers the samples given.
std::vector<int16_t> feed(FileWriter& w, int32_t rate, double seconds, int phase = 0)
{
    std::vector<int16_t> all;
    size_t const block = size_t(rate) / 5;
    for (size_t done = 0; done < size_t(seconds * rate); done += block) {
        std::vector<int16_t> s(block);
        for (size_t i = 0; i < block; ++i)
            s[i] = static_cast<int16_t>(9000 * std::sin(double(done + i + size_t(phase)) * 0.05));
        w.input().on_data(audio_test::buffer16(s, rate));
        all.insert(all.end(), s.begin(), s.end());
    }
    return all;
}

// A mono 44.1 kHz ADPCM file counts 2^32 samples near 2 GB, long before its 4 GB: continued past that,
// the sample count of its "fact" chunk stays at its largest value instead of wrapping to a short length.
TEST(FileWriters, TheSampleCountOfALongAdpcmFileStopsAtItsLargestValue)
{
    std::string const path = testing_support::fresh_dir("fact") + "/long.wav";
    auto const open
        = [&](bool append) { return create_writer(core::from_utf8(path), u"ADPCM", 1, 16, 44100, 0, append); };
    auto const counted = [&] { return audio_test::le_at(read_file(path), 78); }; // the fact chunk's count
    double const fed = double(feed(*open(false), 44100, 0.5).size());
    ASSERT_EQ(read_file(path).find("fact"), 70u);
    uint32_t const first = counted();
    EXPECT_NEAR(first, fed, 2036) << "whole blocks of 2036 samples";
    feed(*open(true), 44100, 0.5);
    EXPECT_NEAR(counted(), first + fed, 2 * 2036) << "a continuation adds up";
    std::string bytes = read_file(path);
    write_file(path, bytes.replace(78, 4, audio_test::le(0xFFFFFFFFu - 1000, 4))); // as if nearly full
    feed(*open(true), 44100, 1.0);
    EXPECT_EQ(counted(), 0xFFFFFFFFu);
}

// Continuing adds at the end of the one logical stream: its pages keep one serial number and count on, and
// only the new last page ends the stream. Each continuation adds the coder's delay (312 samples) at the
// joint, so the length is the sum within 20 ms.
TEST(FileWriters, AContinuedOpusFileStaysOneStream)
{
    std::string const path = testing_support::fresh_dir("opus") + "/a.opus";
    auto const open
        = [&](bool append) { return create_writer(core::from_utf8(path), u"Opus", 1, 16, 48000, 24000, append); };
    feed(*open(false), 48000, 1.0);
    double expected = probed_duration(path);
    for (double more : { 0.6, 1.4 }) {
        auto w = open(true);
        ASSERT_TRUE(w->status().is_good());
        feed(*w, 48000, more);
        w.reset();
        expected += more;
        EXPECT_NEAR(probed_duration(path), expected, 0.02);
    }
    auto const info = testing_support::run("opusinfo " + path);
    EXPECT_EQ(info.exit_code, 0) << info.output;
    EXPECT_EQ(info.output.find("WARNING"), std::string::npos) << info.output;
    EXPECT_EQ(info.output.find("stream 2"), std::string::npos) << info.output;
    std::string errors;
    EXPECT_NEAR(double(ffmpeg_samples(path, "", &errors).size()) / 48000, 3.0, 0.02);
    EXPECT_EQ(errors, "");

    os::File file(core::from_utf8(path), os::FileMode::Read);
    std::vector<OggPage> pages;
    for (OggPage page; page.read(file);)
        pages.push_back(page);
    ASSERT_GT(pages.size(), 4u);
    EXPECT_EQ(file.tell(), file.size()) << "every byte is in a whole page";
    for (size_t i = 1; i < pages.size(); ++i) {
        EXPECT_EQ(pages[i].serial, pages[0].serial);
        EXPECT_EQ(pages[i].sequence, i);
        EXPECT_EQ(pages[i].is_last(), i + 1 == pages.size());
        EXPECT_GE(pages[i].granule, pages[i - 1].granule);
    }
}

// Continuing codes the old last (short) frame again in front of the new audio: every frame but the last
// is whole, the numbers go on, and the samples are those given, bit for bit.
TEST(FileWriters, AContinuedFlacFileIsOneStreamOfEverySampleGiven)
{
    std::string const path = testing_support::fresh_dir("flac") + "/a.flac";
    auto const open
        = [&](bool append) { return create_writer(core::from_utf8(path), u"FLAC", 1, 16, 44100, 0, append); };
    std::vector<int16_t> given = feed(*open(false), 44100, 1.0);
    for (double more : { 0.6, 1.4 }) {
        auto w = open(true);
        ASSERT_TRUE(w->status().is_good());
        std::vector<int16_t> const added = feed(*w, 44100, more, int(given.size()));
        given.insert(given.end(), added.begin(), added.end());
        // While the recording runs, a kill would leave a file whose length is found from its frames.
        os::File now(core::from_utf8(path), os::FileMode::Read);
        flac::Layout running;
        ASSERT_TRUE(running.read(now));
        EXPECT_EQ(running.info.total_samples, 0u);
        w.reset();
    }
    auto const test = testing_support::run("flac -t -s " + path);
    EXPECT_EQ(test.exit_code, 0) << test.error;
    EXPECT_EQ(
        testing_support::run("metaflac --show-total-samples " + path).output, std::to_string(given.size()) + "\n");
    std::string errors;
    EXPECT_EQ(ffmpeg_samples(path, "", &errors), given);
    EXPECT_EQ(errors, "");
}

// A full disk: the file is cut back to its last whole page or frame, and what it holds plays.
TEST(FileWriters, AFullDiskLeavesWholePagesAndFrames)
{
    std::string const dir = testing_support::fresh_dir("full-coded");
    for (char16_t const* format : { u"Opus", u"FLAC" }) {
        std::string const path = dir + "/f." + core::to_utf8(format);
        auto w = create_writer(core::from_utf8(path), format, 1, 16, 48000, 64000, false);
        feed(*w, 48000, 2.0); // the first pages have gone out
        ASSERT_TRUE(w->status().is_good());
        size_t const limit = read_file(path).size() + 3000;
        on_a_full_disk([&] { feed(*w, 48000, 4.0); }, limit);
        EXPECT_FALSE(w->status().is_good()) << core::to_utf8(format);
        w.reset();
        EXPECT_LE(read_file(path).size(), limit);
        std::string errors;
        double const seconds = double(ffmpeg_samples(path, "", &errors).size()) / 48000;
        EXPECT_EQ(errors, "") << core::to_utf8(format);
        EXPECT_GT(seconds, 0.9) << core::to_utf8(format);
        if (std::u16string(format) == u"FLAC") {
            EXPECT_EQ(testing_support::run("flac -t -s " + path).exit_code, 0);
        } else {
            // ffmpeg passes over half a page at the end in silence: the pages themselves must be whole.
            os::File file(core::from_utf8(path), os::FileMode::Read);
            for (OggPage page; page.read(file);) { }
            EXPECT_EQ(file.tell(), file.size()) << "every byte is in a whole page";
        }
    }
}

} // namespace
