// The playback path end to end: files that the peers make (lame, oggenc, mpcenc, sox, ffmpeg) decoded by
// ravelin-cli play --output through the readers, PlayerPCM and the file speaker, compared sample by
// sample with ffmpeg's decoding of the same file; what info says compared with ffprobe.
#include "CliTest.h"

using namespace cli_test;
using testing_support::read_file;

namespace {

// The samples of a WAV file that the file speaker wrote (a 44-byte header), as 16-bit values.
std::vector<int16_t> played(std::string const& path)
{
    std::string const bytes = read_file(path);
    if (bytes.size() < 44)
        return {};
    if (uint8_t(bytes[34]) == 8) {
        std::vector<int16_t> out;
        for (size_t i = 44; i < bytes.size(); ++i)
            out.push_back(static_cast<int16_t>((uint8_t(bytes[i]) - 128) * 256));
        return out;
    }
    return samples16(bytes.substr(44));
}

struct Comparison {
    int offset = 0; // ours[i + offset] stands for theirs[i], in frames
    double snr = 0;
    bool identical = false;
};

// The decoder delay that lines ours up with theirs best, within two codec frames, and the
// signal-to-noise ratio of ours against theirs over what both hold after it.
Comparison compare(std::vector<int16_t> const& ours, std::vector<int16_t> const& theirs, int channels, int frame)
{
    auto snr_at = [&](int offset, size_t step) {
        double signal = 0, noise = 0;
        for (size_t i = 0; i < theirs.size(); i += step) {
            int64_t const j = int64_t(i) + int64_t(offset) * channels;
            if (j < 0 || j >= int64_t(ours.size()))
                continue;
            double const d = double(theirs[i]) - ours[size_t(j)];
            signal += double(theirs[i]) * theirs[i];
            noise += d * d;
        }
        return 10 * std::log10(std::max(signal, 1.0) / std::max(noise, 1e-3));
    };
    Comparison best { 0, -1e9 };
    for (int offset = -2 * frame; offset <= 2 * frame; ++offset) {
        double const s = snr_at(offset, size_t(37 * channels));
        if (s > best.snr)
            best = { offset, s };
    }
    best.snr = snr_at(best.offset, 1);
    best.identical = best.offset == 0 && ours.size() == theirs.size() && ours == theirs;
    return best;
}

struct PlayCase {
    std::string name;
    int rate, channels;
    double seconds;
    std::string encode; // IN and OUT stand for the files
    std::string format; // what the readers call it
    int frame; // samples per channel in one codec frame (or block)
    bool exact; // sample for sample as ffmpeg decodes it
    enum Duration { PROBED, INPUT, ESTIMATED };
    Duration duration = PROBED; // info's within 1% of ffprobe's or of the input's, or an estimate
    std::string extension = "";
};

class PeerFiles : public ::testing::TestWithParam<PlayCase> { };

TEST_P(PeerFiles, DecodeAsFfmpegDoes)
{
    auto const& c = GetParam();
    std::string const dir = testing_support::fresh_dir("play");
    std::string const in = dir + "/in.wav", file = dir + "/file" + c.extension, out = dir + "/out.wav";
    ASSERT_TRUE(testing_support::sox_tone(in, c.rate, c.channels, c.seconds));
    ASSERT_TRUE(testing_support::run_peer(c.encode, in, file));

    auto r = run(cli() + " info " + file);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto info = key_values(r.output);
    EXPECT_EQ(info["format"] + " " + info["channels"] + " " + info["rate"] + " " + info["title"],
        c.format + " " + std::to_string(c.channels) + " " + std::to_string(c.rate) + " file" + c.extension);
    double const duration = std::stod(info["duration"]), probed = probed_duration(file);
    if (c.duration == PlayCase::PROBED) {
        EXPECT_NEAR(duration, probed, probed * 0.01) << "ffprobe's duration";
    } else if (c.duration == PlayCase::INPUT) {
        EXPECT_NEAR(duration, c.seconds, c.seconds * 0.01) << "the input's length";
    }
    RecordProperty("duration", info["duration"]);
    RecordProperty("ffprobe_duration", std::to_string(probed));

    r = run(cli() + " play " + file + " --output " + out);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    std::vector<int16_t> const ours = played(out);
    // Every MPEG frame as it is coded: ffmpeg would otherwise leave out LAME's encoder delay and padding.
    std::vector<int16_t> const theirs = ffmpeg_samples(file, c.format == "mp3" ? " -flags2 +skip_manual" : "");
    ASSERT_FALSE(theirs.empty());
    Comparison const m = compare(ours, theirs, c.channels, c.frame);
    int64_t const our_frames = int64_t(ours.size()) / c.channels, their_frames = int64_t(theirs.size()) / c.channels;
    std::printf("[ %s: %lld frames, ffmpeg %lld, delay %d, SNR %.1f dB%s; duration %s s, ffprobe %.3f s ]\n",
        c.name.c_str(), static_cast<long long>(our_frames), static_cast<long long>(their_frames), m.offset, m.snr,
        m.identical ? ", identical" : "", info["duration"].c_str(), probed);
    RecordProperty("snr_db", std::to_string(m.snr));
    RecordProperty("delay_frames", std::to_string(m.offset));
    EXPECT_LE(std::abs(our_frames - m.offset - their_frames), c.frame) << "the same length within one codec frame";
    if (c.exact) {
        EXPECT_TRUE(m.identical) << "SNR " << m.snr << " dB at delay " << m.offset;
    } else {
        EXPECT_GT(m.snr, 40.0) << "at delay " << m.offset;
    }
}

// Constant-rate MP3 files are long enough that LAME's summary frame, counted by the size, stays within
// 1% of the length; coded WAV files count whole blocks.
INSTANTIATE_TEST_SUITE_P(Formats, PeerFiles,
    ::testing::Values(
        PlayCase { "Mp3Stereo32k", 32000, 2, 5.0, "lame --quiet -b 96 --resample 32 IN OUT", "mp3", 1152, false },
        PlayCase { "Mp3Mono44k", 44100, 1, 4.0, "lame --quiet -b 64 IN OUT", "mp3", 1152, false },
        PlayCase { "Mp3Stereo44k", 44100, 2, 4.0, "lame --quiet -b 128 IN OUT", "mp3", 1152, false },
        PlayCase { "Mp3Stereo48k", 48000, 2, 4.0, "lame --quiet -b 160 --resample 48 IN OUT", "mp3", 1152, false },
        PlayCase { "Mpeg2Mono16k", 16000, 1, 4.0, "lame --quiet -b 32 --resample 16 IN OUT", "mp3", 576, false },
        PlayCase { "Mpeg2Stereo22k", 22050, 2, 4.0, "lame --quiet -b 48 --resample 22.05 IN OUT", "mp3", 576, false },
        PlayCase { "Mpeg25Mono8k", 8000, 1, 4.0, "lame --quiet -b 16 --resample 8 IN OUT", "mp3", 576, false },
        PlayCase {
            "LayerTwo", 44100, 2, 3.0, "ffmpeg -v error -i IN -c:a mp2 -b:a 192k -f mp2 OUT", "mp3", 1152, false },
        PlayCase { "Mp3Vbr", 44100, 2, 2.0, "lame --quiet -V 4 IN OUT", "mp3", 1152, false, PlayCase::ESTIMATED },
        PlayCase { "VorbisMono", 22050, 1, 2.0, "oggenc -Q -q 3 IN -o OUT", "Vorbis", 2048, false, PlayCase::INPUT },
        PlayCase { "VorbisStereo", 44100, 2, 2.0, "oggenc -Q -q 3 IN -o OUT", "Vorbis", 2048, false, PlayCase::INPUT },
        PlayCase { "Musepack", 44100, 2, 2.0, "mpcenc --silent IN OUT", "MPC", 1152, false, PlayCase::INPUT, ".mpc" },
        PlayCase { "GsmWav", 8000, 1, 2.0, "sox IN -e gsm-full-rate -t wav OUT", "GSM", 320, true },
        PlayCase { "AdpcmMono", 11025, 1, 6.0, "sox IN -e ms-adpcm -t wav OUT", "ADPCM", 500, true },
        PlayCase { "AdpcmStereo", 22050, 2, 2.0, "sox IN -e ms-adpcm -t wav OUT", "ADPCM", 1012, true },
        PlayCase { "Pcm8", 11025, 2, 1.0, "sox IN -b 8 -e unsigned -t wav OUT", "PCM", 1, true },
        PlayCase { "Pcm16", 16000, 1, 1.0, "sox IN -t wav OUT", "PCM", 1, true }),
    [](auto const& info) { return info.param.name; });

// The largest difference, sample for sample, of ours against theirs; their length when the lengths differ.
int worst_difference(std::vector<int16_t> const& ours, std::vector<int16_t> const& theirs)
{
    if (ours.size() != theirs.size())
        return int(std::max(ours.size(), theirs.size()));
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        worst = std::max(worst, std::abs(int(ours[i]) - int(theirs[i])));
    return worst;
}

struct ForeignWav {
    std::string name;
    std::string make; // IN and OUT stand for the files
};

class WavFilesOfOtherPrograms : public ::testing::TestWithParam<ForeignWav> { };

// What recorders and editors write every day: info says what ffprobe says of the length, and the player
// gets ffmpeg's 16-bit decoding within one step (ffmpeg truncates where we round).
TEST_P(WavFilesOfOtherPrograms, PlayAsFfmpegDecodesThem)
{
    auto const& c = GetParam();
    std::string const dir = testing_support::fresh_dir("wavs");
    std::string const in = dir + "/in.wav", file = dir + "/file.wav", out = dir + "/out.wav";
    ASSERT_TRUE(testing_support::sox_tone(in, 16000, 2, 1.5, "sine 180:700 sine 310 vol 0.9"));
    ASSERT_TRUE(testing_support::run_peer(c.make, in, file));

    auto r = run(cli() + " info " + file);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto info = key_values(r.output);
    EXPECT_EQ(info["format"], "PCM");
    EXPECT_NEAR(std::stod(info["duration"]), probed_duration(file), 0.001);

    r = run(cli() + " play " + file + " --output " + out);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    auto const theirs = ffmpeg_samples(file);
    ASSERT_EQ(theirs.size(), 1.5 * 16000 * 2);
    EXPECT_LE(worst_difference(played(out), theirs), 1);
}

INSTANTIATE_TEST_SUITE_P(Writers, WavFilesOfOtherPrograms,
    ::testing::Values(ForeignWav { "ListAndBextByFfmpeg", "ffmpeg -v error -i IN -write_bext 1 -c:a pcm_s16le OUT" },
        ForeignWav { "Pcm24ExtensibleByFfmpeg", "ffmpeg -v error -i IN -c:a pcm_s24le OUT" },
        ForeignWav { "Pcm32BySox", "sox IN -b 32 -t wav OUT" },
        ForeignWav { "FloatBySox", "sox IN -e floating-point -b 32 -t wav OUT" },
        ForeignWav { "FloatExtensibleByFfmpeg", "ffmpeg -v error -i IN -c:a pcm_f32le OUT" },
        ForeignWav { "DoubleByFfmpeg", "ffmpeg -v error -i IN -c:a pcm_f64le OUT" },
        ForeignWav { "MuLawByFfmpeg", "ffmpeg -v error -i IN -c:a pcm_mulaw OUT" },
        ForeignWav { "ALawBySox", "sox IN -e a-law -t wav OUT" }),
    [](auto const& info) { return info.param.name; });

// IMA ADPCM, which dictation recorders and telephone systems write: the player gets the reference decoding
// exactly, as sox gives it, in blocks of either program and of one or two channels, and info the length
// that plays: whole blocks, as for the other block codings. (ffmpeg multiplies where the reference shifts,
// and lands up to a few dozen steps away; ffprobe takes the length from the fact chunk.)
TEST(Play, ImaAdpcmDecodesAsTheReferenceDoes)
{
    std::string const dir = testing_support::fresh_dir("ima");
    std::string const out = dir + "/out.wav", reference = dir + "/reference.raw";
    int made = 0;
    for (auto const& [channels, make] : { std::pair(1, "ffmpeg -v error -i IN -c:a adpcm_ima_wav OUT"),
             std::pair(2, "ffmpeg -v error -i IN -c:a adpcm_ima_wav OUT"), std::pair(2, "sox IN -e ima-adpcm OUT") }) {
        std::string const in = dir + "/in" + std::to_string(++made) + ".wav",
                          file = dir + "/ima" + std::to_string(made) + ".wav";
        ASSERT_TRUE(testing_support::sox_tone(in, 8000, channels, 1.3));
        ASSERT_TRUE(testing_support::run_peer(make, in, file));
        auto r = run(cli() + " info " + file);
        ASSERT_EQ(r.exit_code, 0) << r.error;
        auto info = key_values(r.output);
        EXPECT_EQ(info["format"], "IMA ADPCM");
        r = run(cli() + " play " + file + " --output " + out);
        ASSERT_EQ(r.exit_code, 0) << r.error;
        ASSERT_TRUE(testing_support::run_peer("sox IN -t raw -e signed -b 16 OUT", file, reference));
        auto const ours = played(out), theirs = samples16(read_file(reference));
        EXPECT_GE(theirs.size(), size_t(1.3 * 8000 * channels)) << make;
        EXPECT_EQ(worst_difference(ours, theirs), 0) << make << ", " << channels << " channel(s)";
        EXPECT_NEAR(std::stod(info["duration"]), double(ours.size()) / channels / 8000, 0.001) << make;
    }
}

// --from starts later, --volume plays quieter: on PCM both are exact.
TEST(Play, FromAndVolume)
{
    std::string const dir = testing_support::fresh_dir("options");
    std::string const in = dir + "/in.wav", out = dir + "/out.wav";
    ASSERT_TRUE(testing_support::sox_tone(in, 8000, 1, 2, "sine 440 vol 0.5"));
    auto const all = samples16(run("sox " + in + " -t s16 -").output);
    ASSERT_EQ(run(cli() + " play " + in + " --output " + out + " --from 0.5 --volume 0.5").exit_code, 0);
    auto const later = played(out);
    ASSERT_EQ(later.size(), all.size() - 4000);
    for (size_t i = 0; i < later.size(); ++i)
        ASSERT_EQ(later[i], all[i + 4000] * 0x7FFF / 0xFFFF) << i;
}

// A file no reader takes, or none at all: one line naming it. No speaker: one line saying so.
TEST(Play, FilesThatCannotBePlayedSaySoOnOneLine)
{
    std::string const dir = testing_support::fresh_dir("bad");
    testing_support::write_file(dir + "/notes.mp3", std::string(3000, 'x'));
    for (std::string const command : { "info", "play" }) {
        for (std::string const name : { "notes.mp3", "missing.wav" }) {
            std::string const output = command == "play" ? " --output " + dir + "/o.wav" : "";
            auto const r = run(cli() + " " + command + " " + dir + "/" + name + output);
            EXPECT_TRUE(one_line_error(r) && r.error.find(name) != std::string::npos) << command << ": " << r.error;
        }
    }
    std::string const in = dir + "/in.wav";
    ASSERT_TRUE(testing_support::sox_tone(in, 8000, 1, 0.2, "sine 440"));
    // A broken WAV file: the message says which chunk, where, and what is wrong with it.
    testing_support::write_file(dir + "/cut.wav", read_file(in).substr(0, 30));
    auto const cut = run(cli() + " info " + dir + "/cut.wav");
    EXPECT_TRUE(
        one_line_error(cut) && cut.error.find("chunk 'fmt ' at byte 12: it holds 10 bytes") != std::string::npos)
        << cut.error;
    auto const r = run("RAVELIN_AUDIO_OUT=none " + cli() + " play " + in);
    EXPECT_TRUE(one_line_error(r) && r.error.find("no sound output") != std::string::npos) << r.error;
    // A machine without a sound card: the speaker does not open, and nothing played is no success.
    auto const silent = run("RAVELIN_AUDIO_OUT=sdl SDL_AUDIODRIVER=no-such-driver " + cli() + " play " + in);
    EXPECT_NE(silent.exit_code, 0);
    EXPECT_NE(silent.error.find("ravelin-cli: no speaker: "), std::string::npos) << silent.error;
}

} // namespace
