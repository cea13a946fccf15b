// The recording path end to end through ravelin-cli, and what it writes read back by the peers: ffprobe,
// ffmpeg and sox. Inputs are made by sox.
#include "CliTest.h"

using namespace cli_test;
using testing_support::file_exists;
using testing_support::read_file;

namespace {

// A speech-like input: a gliding tone with a second voice, at the given format.
std::string make_input(std::string const& dir, int rate, int channels, double seconds, std::string const& name = "in")
{
    return sox_input(dir + "/" + name + ".wav", rate, channels, seconds);
}

struct WavCase {
    std::string format;
    int rate, channels;
    std::string codec;
    int frame; // samples that the duration may be off by: one block of the coding
};

class WavFiles : public ::testing::TestWithParam<WavCase> { };

TEST_P(WavFiles, PeersReadWhatWeWriteAndDecodeItCloseToTheInput)
{
    auto const& c = GetParam();
    std::string const dir = testing_support::fresh_dir("wav");
    std::string const in = make_input(dir, c.rate, c.channels, 2.0);
    std::string const out = dir + "/out.wav";
    auto const r = encode(in, out, "--format " + c.format);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto facts = probe(out);
    EXPECT_EQ(facts["codec_name"] + " " + facts["sample_rate"] + " " + facts["channels"],
        c.codec + " " + std::to_string(c.rate) + " " + std::to_string(c.channels));
    EXPECT_NEAR(std::stod(facts["duration"]), 2.0, double(c.frame) / c.rate);

    // Decoded by sox and by ffmpeg, sample by sample against the input.
    std::vector<int16_t> const reference = samples16(run("sox " + in + " -t s16 -").output);
    auto const by_sox = samples16(run("sox " + out + " -t s16 -").output), by_ffmpeg = ffmpeg_samples(out);
    EXPECT_NEAR(double(by_sox.size()), double(reference.size()), c.frame * c.channels);
    EXPECT_EQ(by_sox.size(), by_ffmpeg.size());
    double const floor = c.format == "PCM" ? 90 : c.format == "ADPCM" ? 28 : 15;
    double const s = snr(reference, by_sox), f = snr(reference, by_ffmpeg);
    EXPECT_GT(std::min(s, f), floor) << "sox " << s << " dB, ffmpeg " << f << " dB";
    RecordProperty("snr_sox_db", std::to_string(s));
    std::printf(
        "[ %s %d Hz x%d: decoded by sox %.1f dB, by ffmpeg %.1f dB ]\n", c.format.c_str(), c.rate, c.channels, s, f);
}

INSTANTIATE_TEST_SUITE_P(Formats, WavFiles,
    ::testing::Values(WavCase { "PCM", 22050, 2, "pcm_s16le", 1 }, WavCase { "ADPCM", 8000, 1, "adpcm_ms", 500 },
        WavCase { "ADPCM", 44100, 2, "adpcm_ms", 1012 }, WavCase { "GSM", 8000, 1, "gsm_ms", 320 }),
    [](auto const& info) { return info.param.format + std::to_string(info.param.rate); });

struct Mp3Case {
    char const* preset;
    int bit_rate, rate;
    // LAME gives a summary frame (delay and padding) where its frames can hold one; 104-byte MPEG-2
    // frames at 32 kbit/s cannot, and the decoder then plays the delay and padding as well.
    int extra_frames;
};

class Mp3Files : public ::testing::TestWithParam<Mp3Case> { };

TEST_P(Mp3Files, PresetsGiveConstantBitRateLayerThreeWithTheTag)
{
    auto const& c = GetParam();
    std::string const dir = testing_support::fresh_dir("mp3");
    std::string const in = make_input(dir, 16000, 1, 2.0, "Voice note");
    std::string const out = dir + "/out.mp3";
    auto const r = encode("'" + in + "'", out, "--format mp3 --bitrate " + std::to_string(c.bit_rate));
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto facts = probe(out);
    EXPECT_EQ(facts["codec_name"] + " " + facts["sample_rate"] + " " + facts["channels"] + " " + facts["bit_rate"],
        "mp3 " + std::to_string(c.rate) + " 1 " + std::to_string(c.bit_rate))
        << "MPEG audio layer III";
    // What the decoder plays is the input, within a frame (plus the delay where there is no summary).
    int const frame_samples = c.rate == 22050 ? 576 : 1152;
    double const frame = double(frame_samples) / c.rate;
    double const decoded = double(ffmpeg_samples(out).size());
    EXPECT_TRUE(
        decoded >= 2.0 * c.rate - frame_samples && decoded <= 2.0 * c.rate + frame_samples * (1 + c.extra_frames))
        << decoded;
    EXPECT_NEAR(std::stod(facts["duration"]), 2.0, frame * (2 + c.extra_frames));
    EXPECT_EQ(facts["TAG:title"] + "|" + facts["TAG:artist"] + "|" + facts["TAG:album"] + "|" + facts["TAG:genre"],
        "Voice note|Record|Record|Ravelin");

    // Constant bit rate: every frame has the size the bit rate gives (one byte more when padded).
    auto const sizes = run("ffprobe -v error -show_entries packet=size -of csv=p=0 " + out).output;
    int const size = (c.rate == 22050 ? 72000 : 144000) * (c.bit_rate / 1000) / c.rate;
    std::istringstream lines(sizes);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || !std::isdigit(uint8_t(line[0])))
            continue; // side data
        EXPECT_TRUE(std::stoi(line) == size || std::stoi(line) == size + 1) << line;
        ++count;
    }
    EXPECT_GT(count, 30);
}

INSTANTIATE_TEST_SUITE_P(Presets, Mp3Files,
    ::testing::Values(Mp3Case { "Mp3Low", 32000, 22050, 3 }, Mp3Case { "Mp3Middle", 64000, 44100, 0 },
        Mp3Case { "Mp3High", 96000, 44100, 0 }),
    [](auto const& info) { return std::string(info.param.preset); });

struct SoxCase {
    std::string format, sox_options;
    int rate;
    std::string codec;
};

class SoxFiles : public ::testing::TestWithParam<SoxCase> { };

TEST_P(SoxFiles, FilesThatSoxWritesAreContinued)
{
    auto const& c = GetParam();
    std::string const dir = testing_support::fresh_dir("sox");
    std::string const file = dir + "/theirs.wav";
    ASSERT_EQ(run("sox " + make_input(dir, c.rate, 1, 1.0, "first") + " " + c.sox_options + " " + file).exit_code, 0);
    double const before = std::stod(probe(file)["duration"]);
    auto const r = encode(make_input(dir, 16000, 1, 1.5, "more"), file, "--format " + c.format + " --append");
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto facts = probe(file);
    EXPECT_EQ(facts["exit"] + " " + facts["codec_name"], "0 " + c.codec);
    EXPECT_NEAR(std::stod(facts["duration"]), before + 1.5, 0.13);
    EXPECT_EQ(run("sox " + file + " -n stat").exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(Codings, SoxFiles,
    ::testing::Values(SoxCase { "PCM", "-e signed -b 16", 11025, "pcm_s16le" },
        SoxCase { "ADPCM", "-e ms-adpcm", 22050, "adpcm_ms" }, SoxCase { "GSM", "-e gsm-full-rate", 8000, "gsm_ms" }),
    [](auto const& info) { return info.param.format; });

TEST(Encode, FailuresSayWhatIsWrongOnOneLineAndLeaveNoNewFile)
{
    std::string const dir = testing_support::fresh_dir("errors");
    std::string const in = make_input(dir, 8000, 1, 0.5);
    std::string const out = dir + "/out.wav";
    testing_support::write_file(dir + "/text.wav", "not a wave file");
    // The arguments of each, and what its line names.
    std::pair<std::string, std::string> const failures[]
        = { { dir + "/missing.wav " + out + " --format PCM", "missing.wav" },
              { dir + "/text.wav " + out + " --format PCM", "" }, { in + " " + out + " --format OGG", "OGG" },
              { in + " " + dir + "/none.wav --format PCM --append", "" } };
    for (auto const& [arguments, named] : failures) {
        auto const r = run(cli() + " encode " + arguments);
        EXPECT_TRUE(one_line_error(r) && r.error.find(named) != std::string::npos) << arguments << ": " << r.error;
    }
    EXPECT_FALSE(file_exists(out) || file_exists(dir + "/none.wav"));

    // A disk that fills up: the new file is removed.
    std::string const big = make_input(dir, 44100, 1, 3.0, "big");
    auto const r = run("trap '' XFSZ; ulimit -f 64; " + cli() + " encode " + big + " " + out + " --format PCM");
    EXPECT_TRUE(one_line_error(r)) << r.error;
    EXPECT_FALSE(file_exists(out));
}

TEST(Tag, FramesAreListedAndATitleIsChangedInPlaceWhenItFits)
{
    std::string const dir = testing_support::fresh_dir("tag");
    std::string const out = dir + "/rec.mp3";
    ASSERT_EQ(encode(make_input(dir, 22050, 1, 1.0, "note"), out, "--format mp3 --bitrate 32000").exit_code, 0);
    std::string const before = read_file(out);
    auto r = run(cli() + " tag " + out + " --title 'Caf\xC3\xA9 call'");
    ASSERT_EQ(r.exit_code, 0) << r.error;
    std::string const after = read_file(out);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(run(cli() + " tag " + out).output.find("\nTIT2=Caf\xC3\xA9 call\n"), std::string::npos);
    EXPECT_EQ(probe(out)["TAG:title"], "Caf\xC3\xA9 call");
    size_t const tag_end = 1024 + 10 + 200; // well inside the padding: the audio is where it was
    EXPECT_EQ(after.substr(tag_end + 400), before.substr(tag_end + 400));

    r = run(cli() + " tag " + out + " --title " + std::string(1100, 'x'));
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.error.find("does not fit"), std::string::npos) << r.error;
    EXPECT_EQ(read_file(out), after) << "byte for byte as it was";
}

} // namespace
