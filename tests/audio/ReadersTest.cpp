#include "AudioTestSupport.h"

#include <audio/formats/FileWriter.h>
#include <audio/readers/FileReader.h>
#include <audio/readers/FileReaderMP3.h>
#include <audio/readers/FileReaderVorbis.h>
#include <audio/readers/Mp3Header.h>
#include <audio/readers/WaveFileReader.h>
#include <cstring>
#include <random>

using namespace audio;
using testing_support::numbers;
using testing_support::read_file;
using testing_support::write_file;
using namespace std::string_literals;

namespace {

// A file's bytes as a stream; reads fail from `fail_after` bytes on, as a card taken out would.
class BytesStream final : public os::InStream {
public:
    explicit BytesStream(std::string bytes, uint32_t fail_after = UINT32_MAX)
        : bytes_(std::move(bytes))
        , fail_after_(fail_after)
    {
    }
    uint32_t read(void* buffer, uint32_t count) override
    {
        uint32_t const end = std::min<uint32_t>(size(), fail_after_);
        uint32_t const n = position_ < end ? std::min(count, end - position_) : 0;
        std::memcpy(buffer, bytes_.data() + position_, n);
        position_ += n;
        return n;
    }
    uint32_t skip(uint32_t count) override { return seek(position_ + count) ? count : 0; }
    bool is_open() const override { return true; }
    uint32_t size() const override { return static_cast<uint32_t>(bytes_.size()); }
    bool seek(uint32_t position) override
    {
        position_ = std::min(position, size());
        return true;
    }
    uint32_t tell() const override { return position_; }

private:
    std::string const bytes_;
    uint32_t const fail_after_;
    uint32_t position_ = 0;
};

std::unique_ptr<os::InStream> stream(std::string const& bytes, uint32_t fail_after = UINT32_MAX)
{
    return std::make_unique<BytesStream>(bytes, fail_after);
}

std::unique_ptr<FileReader> reader_of(std::string const& bytes, char16_t const* name = u"/music/test.wav")
{
    return create_reader([&] { return stream(bytes); }, name);
}

// Everything the source gives, pulled as the player pulls; a bounded number of pulls.
std::vector<int16_t> decode_all(AudioProducer& source, int32_t frames = 16384)
{
    std::vector<int16_t> all;
    for (int pulls = 0; pulls < 100000; ++pulls) {
        AudioBuffer const b = source.get_data(frames);
        if (b.empty())
            break;
        if (b.format.bits_per_sample == 8) {
            for (size_t i = 0; i < b.length(); ++i)
                all.push_back(static_cast<int16_t>((b.data.data()[i] - 128) * 256));
            continue;
        }
        EXPECT_EQ(b.format.bits_per_sample, 16);
        auto const s = audio_test::samples16(b);
        all.insert(all.end(), s.begin(), s.end());
    }
    return all;
}

// A file made by a peer from a tone that sox makes.
std::string peer_file(std::string const& name, int rate, int channels, double seconds, std::string const& encode)
{
    std::string const dir = testing_support::fresh_dir("peer");
    EXPECT_TRUE(testing_support::sox_tone(dir + "/in.wav", rate, channels, seconds, "sine 200:900 sine 330 vol 0.3"));
    EXPECT_TRUE(testing_support::run_peer(encode, dir + "/in.wav", dir + "/" + name));
    return read_file(dir + "/" + name);
}

// MPEG-1 layer III, mono, 44100 Hz frames with zero payloads.
std::string mp3_frame(int bit_rate_index, bool padded = false)
{
    static constexpr int KBPS[] = { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320 };
    std::string frame(144000 * KBPS[bit_rate_index] / 44100 + padded, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = static_cast<char>(bit_rate_index << 4 | padded << 1);
    frame[3] = '\xC0';
    return frame;
}

// Headers of each version and layer, read by the standard tables; then reserved values, free format and
// combinations that layer II forbids.
TEST(Mp3Headers, FieldsComeFromTheStandardTablesAndInvalidHeadersAreRefused)
{
    using Fields = std::array<int, 7>; // version, layer, kbit/s, rate, channels, frame length, samples per frame
    std::pair<std::array<uint8_t, 4>, Fields> const valid[] = {
        { { 0xFF, 0xFB, 0x90, 0x44 }, { 1, 3, 128, 44100, 2, 417, 1152 } },
        { { 0xFF, 0xFB, 0x92, 0xC4 }, { 1, 3, 128, 44100, 1, 418, 1152 } },
        { { 0xFF, 0xFB, 0xE4, 0x00 }, { 1, 3, 320, 48000, 2, 960, 1152 } },
        { { 0xFF, 0xFD, 0xA8, 0x00 }, { 1, 2, 192, 32000, 2, 864, 1152 } },
        { { 0xFF, 0xFF, 0x52, 0xC0 }, { 1, 1, 160, 44100, 1, 4 * (12000 * 160 / 44100 + 1), 384 } },
        { { 0xFF, 0xF3, 0x40, 0xC0 }, { 2, 3, 32, 22050, 1, 104, 576 } },
        { { 0xFF, 0xF3, 0x98, 0x00 }, { 2, 3, 80, 16000, 2, 360, 576 } },
        { { 0xFF, 0xF5, 0x88, 0xC0 }, { 2, 2, 64, 16000, 1, 576, 1152 } },
        { { 0xFF, 0xE3, 0x28, 0xC0 }, { 25, 3, 16, 8000, 1, 144, 576 } },
        { { 0xFF, 0xE3, 0x23, 0xC0 }, { 25, 3, 16, 11025, 1, 105, 576 } },
    };
    for (auto const& [bytes, fields] : valid) {
        Mp3Header h;
        ASSERT_TRUE(Mp3Header::parse(bytes.data(), h)) << ::testing::PrintToString(bytes);
        EXPECT_EQ((Fields { h.version, h.layer, h.kilobits_per_second, h.samples_per_second, h.channels,
                      int(h.frame_length), h.samples_per_frame }),
            fields)
            << ::testing::PrintToString(bytes);
    }

    std::array<uint8_t, 4> const bad[] = {
        { 0xFF, 0xEB, 0x90, 0x44 }, // reserved version
        { 0xFF, 0xF9, 0x90, 0x44 }, // reserved layer
        { 0xFF, 0xFB, 0x00, 0x44 }, // free format
        { 0xFF, 0xFB, 0xF0, 0x44 }, // bad bit rate
        { 0xFF, 0xFB, 0x9C, 0x44 }, // reserved sample rate
        { 0xFF, 0xFB, 0x90, 0x46 }, // reserved emphasis
        { 0xFF, 0xFD, 0x10, 0x00 }, // layer II, 32 kbit/s in stereo
        { 0xFF, 0xFD, 0xD0, 0xC0 }, // layer II, 320 kbit/s in mono
        { 0xFE, 0xFB, 0x90, 0x44 }, // no sync
    };
    Mp3Header h;
    for (auto const& bytes : bad)
        EXPECT_FALSE(Mp3Header::parse(bytes.data(), h)) << int(bytes[1]) << " " << int(bytes[2]);
}

// The average bit rate from up to 20 frames spread over the file: one point below 200,000 bytes.
TEST(Mp3Reader, TheBitRateComesFromOneFrameInSmallFilesAndTwentyInLargeOnes)
{
    std::string small = mp3_frame(1);
    while (small.size() < 150000 - 1044)
        small += mp3_frame(14);
    small.resize(150000, '\0');
    FileReaderMP3 one(stream(small));
    ASSERT_TRUE(one.is_valid());
    EXPECT_EQ(numbers(one.bit_rate(), one.length()), numbers(32000, 150000)) << "the first frame's only";
    EXPECT_DOUBLE_EQ(one.duration(), 150000 * 8.0 / 32 / 1000);

    // Frames that start in the twentieth i of the file have 64 kbit/s for even i, 256 for odd i.
    constexpr uint32_t SIZE = 2500000;
    std::string large;
    while (large.size() < SIZE - 835) {
        bool const odd = (uint64_t(large.size()) * 20 / SIZE) % 2 == 1;
        large += mp3_frame(odd ? 13 : 5, large.size() % 3 == 0);
    }
    large.resize(SIZE, '\0');
    FileReaderMP3 twenty(stream(large));
    ASSERT_TRUE(twenty.is_valid());
    EXPECT_EQ(twenty.bit_rate(), (64 + 10 * 256 + 9 * 64 + 10) / 20 * 1000);
    EXPECT_EQ(numbers(twenty.position(), twenty.seconds_to_units(2.0)), numbers(0, 2 * 160 * 125))
        << "back at the start";
}

// A tag whose picture holds frame headers, before a real stream: only the real frames are confirmed by
// the header one frame later, and the stream decodes as it does without the tag.
TEST(Mp3Reader, APictureFullOfHeadersDoesNotHideTheFirstFrame)
{
    std::string const mp3 = peer_file("a.mp3", 44100, 1, 1.0, "lame --quiet -b 64 IN OUT");
    std::string picture(6000, '\0');
    for (size_t at = 0; at + 4 < picture.size(); at += 100)
        std::memcpy(picture.data() + at, "\xFF\xFB\x90\x64", 4);
    Id3Tag tag;
    tag.set_text("TIT2", u"Cover");
    tag.set_picture(reinterpret_cast<uint8_t const*>(picture.data()), picture.size());
    std::string const tagged = audio_test::tag_bytes(tag) + mp3;
    FileReaderMP3 reader(stream(tagged));
    ASSERT_TRUE(reader.is_valid());
    EXPECT_EQ(reader.first_frame_offset(), tagged.size() - mp3.size());
    EXPECT_EQ(numbers(reader.first_header().kilobits_per_second, reader.first_header().channels), numbers(64, 1));

    auto with_tag = reader_of(tagged), without = reader_of(mp3);
    ASSERT_TRUE(with_tag && without);
    EXPECT_EQ(with_tag->format_name(), u"mp3");
    auto const samples = decode_all(without->source());
    EXPECT_GT(samples.size(), 44100u);
    EXPECT_EQ(decode_all(with_tag->source()), samples);
}

// ffmpeg by default notes a mono stream of 64 kbit/s in an Info frame of 56: the stream's rate gives its
// length.
TEST(Mp3Reader, TheRateIsTheSoundsNotTheInfoFrames)
{
    std::string const mp3 = peer_file("i.mp3", 44100, 1, 3.0, "ffmpeg -v error -i IN -c:a libmp3lame OUT");
    FileReaderMP3 reader(stream(mp3));
    ASSERT_EQ(reader.first_header().kilobits_per_second, 56) << "no longer an Info frame of its own rate";
    EXPECT_EQ(reader.bit_rate(), 64000);
    EXPECT_NEAR(reader.duration(), 3.0, 0.06);
}

TEST(Mp3Reader, TheTitleIsTheId3v1TitleOrTheFileName)
{
    std::string frames;
    for (int i = 0; i < 20; ++i)
        frames += mp3_frame(9);
    auto tagged = [&](std::string const& title) {
        std::string tag = "TAG" + title;
        tag.resize(128, '\0');
        tag.replace(3 + 30, 6, "Artist");
        return frames + tag;
    };
    EXPECT_EQ(reader_of(tagged("Caf\xE9 "), u"C:\\rec\\a.mp3")->title(), u"Caf\u00E9");
    EXPECT_EQ(reader_of(tagged("Caf\xC3\xA9"))->title(), u"Caf\u00E9");
    EXPECT_EQ(reader_of(tagged(""), u"/music/Voice 1.mp3")->title(), u"Voice 1.mp3");
    EXPECT_EQ(reader_of(frames, u"D:\\x/y\\Call.mp3")->title(), u"Call.mp3");
    EXPECT_EQ(reader_of(tagged("x"))->kind(), ReaderKind::MP3);
}

// Positions are bytes of the file; a seek clamps to it and the stream is found again after it.
TEST(Mp3Reader, SeekingFindsTheStreamAgainAndAReadErrorEndsIt)
{
    std::string const mp3 = peer_file("b.mp3", 22050, 2, 3.0, "lame --quiet -b 48 IN OUT");
    auto reader = reader_of(mp3);
    ASSERT_TRUE(reader);
    ReaderInfo& info = reader->info();
    EXPECT_EQ(
        numbers(info.samples_per_second(), info.bit_rate(), info.seconds_to_units(1.5)), numbers(22050, 48000, 9000));
    EXPECT_NEAR(info.units_to_seconds(6000), 1.0, 1e-12);
    EXPECT_TRUE(info.seek(int64_t(mp3.size()) + 500));
    EXPECT_EQ(std::pair(info.position(), info.at_end()), std::pair(int64_t(mp3.size()), true));
    EXPECT_TRUE(info.seek_seconds(1.5) && !info.at_end());
    auto const rest = decode_all(reader->source());
    EXPECT_NEAR(double(rest.size()) / 2, 1.5 * 22050, 576 * 3) << "about the second half";

    testing_support::LogCapture log;
    // The first 10000 bytes fill the buffer; the refill after them falls short.
    FileReaderMP3 failing(stream(mp3, 11000));
    ASSERT_TRUE(failing.is_valid());
    int pulls = 0;
    while (!failing.get_data(4096).empty())
        ++pulls;
    EXPECT_GT(pulls, 0);
    EXPECT_TRUE(log.contains("FileReaderMP3::read_more error="));
    EXPECT_TRUE(!failing.status().is_good() && failing.at_end());
    EXPECT_TRUE(failing.get_data(4096).empty()) << "the stream stays ended";
}

// The order decides, not the extension: a WAV header first, and a GSM header that fails its checks
// gives way to the readers after it.
TEST(ReaderFactory, ReadersAreTriedInTheirFixedOrder)
{
    std::string frames;
    for (int i = 0; i < 30; ++i)
        frames += mp3_frame(9);
    EXPECT_EQ(reader_of(frames, u"/x/song.wav")->format_name(), u"mp3");
    EXPECT_EQ(reader_of(audio_test::wav_bytes(1, 1, 8000, 16, frames), u"/x/a.mp3")->format_name(), u"PCM");

    EXPECT_EQ(reader_of(audio_test::riff_wave(audio_test::gsm_fmt(), frames))->format_name(), u"GSM");
    auto fallen = reader_of(audio_test::riff_wave(audio_test::gsm_fmt(11025), frames));
    ASSERT_TRUE(fallen);
    EXPECT_EQ(std::tuple(fallen->format_name(), fallen->info().samples_per_second()), std::tuple(u"mp3", 44100));
    EXPECT_FALSE(reader_of("") || reader_of(std::string(5000, 'x')) || create_reader(u"/no/such/file.mp3"));
}

// A refused file says why, to the caller and in the log: for a WAV file, the chunk, where, and what.
TEST(ReaderFactory, ARefusalSaysWhyInTheLog)
{
    std::string bad = audio_test::wav_bytes(1, 1, 8000, 16, std::string(100, '\0'));
    bad[34] = 12; // 12-bit samples
    std::string const odd = testing_support::fresh_dir("refused") + "/odd.wav";
    testing_support::write_file(odd, bad);
    testing_support::LogCapture log;
    core::String why;
    EXPECT_FALSE(create_reader(core::from_utf8(odd), why));
    EXPECT_EQ(why, u"chunk 'fmt ' at byte 12: 12-bit PCM is not supported");
    EXPECT_TRUE(log.contains("create_reader: " + odd + " refused: chunk 'fmt ' at byte 12: 12-bit PCM"));
    testing_support::write_file(odd, std::string(300, 'x'));
    EXPECT_FALSE(create_reader(core::from_utf8(odd), why));
    EXPECT_EQ(why, u"neither a WAV file nor Ogg Vorbis, Ogg Opus, Musepack, FLAC or MP3");
}

TEST(VorbisReader, PiecesAreAtMost8192FramesAndPositionsAreFrames)
{
    std::string const ogg = peer_file("v.ogg", 44100, 2, 1.0, "oggenc -Q -q 2 IN -o OUT");
    FileReaderVorbis reader(stream(ogg));
    ASSERT_TRUE(reader.is_valid());
    EXPECT_EQ(numbers(reader.channels(), reader.length()), numbers(2, 44100));
    int64_t frames = 0;
    for (AudioBuffer b = reader.get_data(20000); !b.empty(); b = reader.get_data(20000)) {
        EXPECT_LE(b.frames(), 8192u);
        EXPECT_EQ(b.format, (AudioFormat { 2, 16, 44100 }));
        frames += int64_t(b.frames());
    }
    EXPECT_EQ(frames, 44100);
    EXPECT_TRUE(reader.at_end() && reader.seek_seconds(0.25));
    EXPECT_EQ(reader.position(), 11025);
    EXPECT_DOUBLE_EQ(reader.position_seconds(), 0.25);
    // The audio pages over the length: less than the whole file, headers and all, over one second.
    EXPECT_GT(reader.bit_rate(), 0);
    EXPECT_LT(reader.bit_rate(), int32_t(ogg.size() * 8));

    // Shorter than a millisecond: a bit rate per whole millisecond would divide by zero.
    FileReaderVorbis tiny(stream(peer_file("t.ogg", 44100, 1, 0.0005, "oggenc -Q IN -o OUT")));
    ASSERT_TRUE(tiny.is_valid());
    EXPECT_EQ(tiny.length(), 22);
    EXPECT_GT(tiny.bit_rate(), 0);
}

// Positions are bytes of the data, on block boundaries; times of coded data count its blocks' samples.
TEST(WaveReaders, PositionsAreBytesOnBlockBoundaries)
{
    std::string const adpcm = peer_file("a.wav", 22050, 1, 2.0, "sox IN -e ms-adpcm OUT");
    WaveFileReader reader(stream(adpcm), WaveCoding::ADPCM);
    ASSERT_TRUE(reader.is_valid());
    // 512-byte blocks of 1012 frames at 22050 Hz.
    EXPECT_EQ(numbers(reader.frames_per_block(), reader.bits_per_sample(), reader.seconds_to_units(1.0)),
        numbers(1012, 16, 21 * 512));
    EXPECT_NEAR(reader.duration(), 2.0, 1012.0 / 22050);
    EXPECT_TRUE(reader.seek(5000));
    EXPECT_EQ(reader.position(), 4608);
    EXPECT_NEAR(reader.position_seconds(), 9 * 1012.0 / 22050, 1e-9);
    EXPECT_FALSE(WaveFileReader(stream(adpcm), WaveCoding::PCM).is_valid()
        || WaveFileReader(stream(adpcm), WaveCoding::GSM).is_valid());

    std::string const frames = audio_test::pcm16(audio_test::ramp(4000, 1));
    WaveFileReader pcm(stream(audio_test::wav_bytes(1, 2, 8000, 16, frames)), WaveCoding::PCM);
    EXPECT_EQ(pcm.seconds_to_units(0.1), 3200);
    EXPECT_TRUE(pcm.seek(1003));
    EXPECT_EQ(pcm.position(), 1000) << "a seek inside a frame would swap bytes";
    EXPECT_EQ(audio_test::samples16(pcm.get_data(1)), (std::vector<int16_t> { 500, 501 }));
    EXPECT_EQ(pcm.get_data(5000).frames(), 1749u);
    EXPECT_TRUE(pcm.get_data(5000).empty() && pcm.at_end());
}

// A reader hands its coded blocks to a writer of its own kind: continuing a file with itself doubles it.
TEST(WaveReaders, AcceptLinksTheCodedDataToAWriterOfItsKind)
{
    std::string const adpcm = peer_file("c.wav", 8000, 1, 1.0, "sox IN -e ms-adpcm OUT");
    std::string const path = testing_support::fresh_dir("copy") + "/copy.wav";
    write_file(path, adpcm);
    auto reader = reader_of(adpcm);
    ASSERT_TRUE(reader);
    auto mp3 = create_writer(core::from_utf8(path + ".mp3"), u"mp3", 1, 16, 8000, 32000, false);
    EXPECT_FALSE(reader->accept(*mp3));
    {
        auto writer = create_writer(core::from_utf8(path), u"ADPCM", 1, 16, 8000, 0, true);
        ASSERT_TRUE(writer && writer->status().is_good());
        ASSERT_TRUE(reader->accept(*writer));
        EXPECT_FALSE(reader->info().render(100000)) << "the file ends before 100000 frames";
        EXPECT_TRUE(writer->status().is_good());
    }
    WaveFileReader original(stream(adpcm), WaveCoding::ADPCM), doubled(stream(read_file(path)), WaveCoding::ADPCM);
    ASSERT_TRUE(doubled.is_valid());
    ASSERT_EQ(doubled.length(), 2 * original.length());
    AudioBuffer const a = original.get_data(1 << 20), b = doubled.get_data(1 << 20);
    ASSERT_EQ(b.length(), 2 * a.length());
    EXPECT_EQ(audio_test::bytes_of(b), audio_test::bytes_of(a) + audio_test::bytes_of(a));
}

// Bad input: truncated files of every kind, garbage behind every signature, a WAV header that claims
// more than the file holds. Nothing may crash or read outside its buffer, and every stream ends.
TEST(BadInput, DamagedFilesEitherAreRefusedOrPlayWhatTheyHold)
{
    std::vector<std::string> const files = {
        peer_file("p.wav", 8000, 2, 0.5, "sox IN -b 8 -e unsigned OUT"),
        peer_file("a.wav", 11025, 2, 0.5, "sox IN -e ms-adpcm OUT"),
        peer_file("g.wav", 8000, 1, 0.5, "sox IN -e gsm-full-rate OUT"),
        peer_file("v.ogg", 22050, 1, 0.5, "oggenc -Q IN -o OUT"),
        peer_file("m.mpc", 44100, 2, 0.5, "mpcenc --silent IN OUT"),
        peer_file("m.mp3", 16000, 1, 0.5, "lame --quiet IN OUT"),
        peer_file("o.opus", 48000, 2, 0.5, "opusenc --quiet IN OUT"),
        peer_file("f.flac", 22050, 2, 0.5, "flac -s IN -o OUT"),
    };
    std::mt19937 random(2024);
    for (std::string const& good : files) {
        auto whole = reader_of(good);
        ASSERT_TRUE(whole);
        size_t const decoded = decode_all(whole->source()).size();
        EXPECT_GT(decoded, 0u) << core::to_utf8(whole->format_name());
        for (size_t cut : { size_t(3), size_t(30), size_t(100), good.size() / 3, good.size() - 7 }) {
            auto r = reader_of(good.substr(0, cut));
            EXPECT_LE(r ? decode_all(r->source(), 3000).size() : 0, decoded + 2 * 1152 * 2);
        }
        for (int trial = 0; trial < 40; ++trial) {
            std::string bytes = good;
            size_t const span = std::min<size_t>(bytes.size(), trial < 20 ? 120 : bytes.size());
            for (int f = 0; f < 12; ++f)
                bytes[std::uniform_int_distribution<size_t>(0, span - 1)(random)] = char(random());
            if (auto r = reader_of(bytes)) {
                decode_all(r->source(), 5000);
                r->info().seek_seconds(0.2);
                decode_all(r->source(), 5000);
            }
        }
    }
    std::string garbage(20000, '\0');
    for (auto& c : garbage)
        c = char(random());
    for (std::string const& prefix : { ""s, "RIFF\x10\0\0\0WAVEfmt "s, "OggS"s, "MPCK"s, "MP+\x07"s,
             "ID3\x03\0\0\0\0\x10\0"s, "fLaC"s, "fLaC\x80\0\0\x22\x10\0\x10\0"s })
        if (auto r = reader_of(prefix + garbage))
            decode_all(r->source());

    // The data chunk claims 2 GB: the file's end decides.
    std::string liar = testing_support::wav16(8000, std::vector<int16_t>(1000, 99));
    liar.replace(40, 4, std::string("\xFF\xFF\xFF\x7F", 4));
    auto r = reader_of(liar);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->info().length(), 2000);
    EXPECT_EQ(decode_all(r->source()), std::vector<int16_t>(1000, 99));
    EXPECT_TRUE(r->info().is_valid());
}

// A FLAC recording cut off (killed, or its card gone) has no length in its stream information and may end
// in half a frame: its length is that of its last whole frame, and it plays to there.
TEST(FlacReader, AStreamThatDoesNotTellItsLengthIsMeasuredToItsLastWholeFrame)
{
    std::string whole = peer_file("w.flac", 44100, 1, 1.0, "flac -s --no-seektable IN -o OUT");
    auto const full = reader_of(whole);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->format_name(), u"FLAC");
    EXPECT_EQ(full->info().length(), 44100);
    std::vector<int16_t> const all = decode_all(full->source());
    ASSERT_EQ(all.size(), 44100u);

    size_t const info = whole.find("fLaC") + 8;
    std::string cut = whole.substr(0, whole.size() - 500);
    std::fill(cut.begin() + long(info + 13), cut.begin() + long(info + 34), '\0'); // the length and checksum
    cut[info + 13] = whole[info + 13] & '\xF0';
    auto const r = reader_of(cut);
    ASSERT_TRUE(r);
    int64_t const length = r->info().length();
    EXPECT_EQ(length % 4096, 0) << "whole frames of 4096 samples";
    EXPECT_GE(length, 44100 - 2 * 4096);
    EXPECT_LT(length, 44100);
    std::vector<int16_t> const played = decode_all(r->source());
    ASSERT_EQ(int64_t(played.size()), length);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), all.begin()));
    r->info().seek(length / 2);
    EXPECT_EQ(r->info().position(), length / 2);
    EXPECT_EQ(decode_all(r->source()).front(), all[size_t(length / 2)]);
}

} // namespace
