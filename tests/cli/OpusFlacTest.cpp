// Opus and FLAC through ravelin-cli: what encode and record write, read back by ffmpeg and ffprobe; and what
// opusenc, flac and ffmpeg write, read by info, tag and play.
#include "CliTest.h"

using namespace cli_test;
using testing_support::fresh_dir;
using testing_support::read_file;

namespace {

// Speech made on the machine by espeak-ng, at `rate`, mono.
std::string speech(std::string const& dir, int rate)
{
    std::string const raw = dir + "/speech-22k.wav", path = dir + "/speech.wav";
    auto const r = run("espeak-ng -w " + raw
        + " 'Opus at twenty four kilobits keeps a call clear. FLAC keeps an interview as it was said, "
          "seven, eight, nine, ten.' && sox "
        + raw + " -r " + std::to_string(rate) + " " + path);
    EXPECT_EQ(r.exit_code, 0) << r.error;
    return path;
}

class OpusRates : public ::testing::TestWithParam<int> { };

// The speech decoded by ffmpeg against the source: at least what opusenc reaches at the same rate, less
// 1 dB. Both decodings start where the source does (the pre-skip is left out).
TEST_P(OpusRates, SpeechIsAsCloseToTheSourceAsOpusencMakesIt)
{
    int const kbps = GetParam();
    std::string const dir = fresh_dir("opus-snr");
    std::string const in = speech(dir, 48000), ours = dir + "/ours.opus", theirs = dir + "/theirs.opus";
    auto const r = encode(in, ours, "--format Opus --bitrate " + std::to_string(kbps * 1000));
    ASSERT_EQ(r.exit_code, 0) << r.error;
    ASSERT_EQ(run("opusenc --quiet --bitrate " + std::to_string(kbps) + " " + in + " " + theirs).exit_code, 0);
    std::vector<int16_t> const source = samples16(run("sox " + in + " -t s16 -").output), our = ffmpeg_samples(ours);
    EXPECT_EQ(our.size(), source.size());
    double const s = snr(source, our), t = snr(source, ffmpeg_samples(theirs));
    std::printf("[ figure ] Opus %d kbit/s: SNR %.2f dB, opusenc %.2f dB; %zu bytes, opusenc %zu ]\n", kbps, s, t,
        read_file(ours).size(), read_file(theirs).size());
    EXPECT_GE(s, t - 1.0);
    auto facts = probe(ours);
    EXPECT_EQ(facts["codec_name"], "opus");
    EXPECT_EQ(facts["channels"], "1");
}

INSTANTIATE_TEST_SUITE_P(Rates, OpusRates, ::testing::Values(16, 24, 48));

struct PeerCase {
    std::string name;
    int rate, channels;
    std::string make; // IN, OUT and PNG stand for the files
    std::string format, title; // what info and tag say
    bool picture;
};

class CodedPeerFiles : public ::testing::TestWithParam<PeerCase> { };

// Files of other programs: info's length is ffprobe's, tag shows their texts and pictures, and play
// decodes them as ffmpeg does (Opus through libopus, the decoder our reader uses: ffmpeg's own differs).
TEST_P(CodedPeerFiles, AreMeasuredTaggedAndPlayedAsFfmpegDoes)
{
    auto const& c = GetParam();
    std::string const dir = fresh_dir("peer");
    std::string const in = sox_input(dir + "/in.wav", c.rate, c.channels, 2.0), png = dir + "/face.png";
    std::string const file = dir + "/file." + (c.format == "Opus" ? "opus" : "flac"), out = dir + "/out.wav";
    ASSERT_EQ(run("ffmpeg -v error -f lavfi -i color=red:s=8x8 -frames 1 " + png).exit_code, 0);
    std::string command = c.make;
    for (auto const& [word, path] :
        std::map<std::string, std::string> { { "IN", in }, { "OUT", file }, { "PNG", png } })
        if (size_t const at = command.find(word); at != std::string::npos)
            command.replace(at, word.size(), path);
    auto r = run(command);
    ASSERT_EQ(r.exit_code, 0) << command << ": " << r.error;

    auto info = key_values(run(cli() + " info " + file).output);
    EXPECT_EQ(info["format"], c.format);
    EXPECT_EQ(info["channels"], std::to_string(c.channels));
    EXPECT_EQ(info["duration"], "2.000"); // ffprobe counts an Opus stream's pre-skip in
    auto tags = key_values(run(cli() + " tag " + file).output);
    EXPECT_EQ(tags["TITLE"] + tags["title"], c.title); // opusenc writes its names in small letters
    EXPECT_EQ(tags[c.format == "Opus" ? "METADATA_BLOCK_PICTURE" : "PICTURE"],
        c.picture ? "image/png " + std::to_string(read_file(png).size()) + " bytes" : "");

    r = run(cli() + " play " + file + " --output " + out);
    ASSERT_EQ(r.exit_code, 0) << r.error;
    std::vector<int16_t> const ours = samples16(read_file(out).substr(44));
    std::vector<int16_t> const theirs = ffmpeg_samples(file, c.format == "Opus" ? " -c:a libopus" : "");
    ASSERT_EQ(ours.size(), theirs.size());
    if (c.format == "FLAC")
        EXPECT_TRUE(ours == theirs);
    else
        EXPECT_GT(snr(theirs, ours), 40.0);
}

INSTANTIATE_TEST_SUITE_P(Programs, CodedPeerFiles,
    ::testing::Values(
        PeerCase { "Opusenc", 48000, 1, "opusenc --quiet --title T --picture PNG IN OUT", "Opus", "T", true },
        PeerCase { "OpusencStereo44k", 44100, 2, "opusenc --quiet IN OUT", "Opus", "", false },
        PeerCase { "FfmpegOpus", 48000, 1, "ffmpeg -v error -i IN -c:a libopus -b:a 32k OUT", "Opus", "", false },
        PeerCase { "FlacWithPicture", 44100, 2, "flac -s --picture=PNG -T TITLE=T IN -o OUT", "FLAC", "T", true },
        PeerCase { "Flac24", 22050, 1, "sox IN -b 24 OUT", "FLAC", "", false },
        PeerCase { "FfmpegFlac", 16000, 1, "ffmpeg -v error -i IN OUT", "FLAC", "", false }),
    [](auto const& info) { return info.param.name; });

struct KillCase {
    std::string format;
    double seconds, kept; // killed after `seconds`, at least `kept` of them decode
    // How near info's length comes to what decodes: an MP3's, from its size at its bit rate, also counts its
    // summary frame, the coder's delay and the frame the kill cut.
    double measured;
};

class KilledRecordings : public ::testing::TestWithParam<KillCase> { };

// A killed recording keeps all but its last seconds: an MP3's staging buffer (16384 bytes, 2.05 s at
// 64 kbit/s, killed just before its second write) and the block being captured; Ogg pages and FLAC
// frames reach the file at least once a second. ffmpeg decodes it without an error, and Ravelin measures
// and plays it.
TEST_P(KilledRecordings, KeepAllButTheirLastSeconds)
{
    auto const& c = GetParam();
    Place const place("killed");
    std::string const out = place.dir + "/out.txt";
    auto const r = place.record_until(
        sox_input(place.dir + "/tone.wav", 44100, 1, 20.0), out, c.seconds, "KILL", "--format " + c.format);
    EXPECT_EQ(r.exit_code, 128 + 9);
    std::string const path = first_line(read_file(out));
    double const decoded = decoded_seconds(path);
    std::printf("[ figure ] %s killed after %.1f s: %.2f s decoded\n", c.format.c_str(), c.seconds, decoded);
    EXPECT_GT(decoded, c.kept);
    EXPECT_NEAR(std::stod(key_values(run(cli() + " info '" + path + "'").output)["duration"]), decoded, c.measured);
    auto const played = run(cli() + " play '" + path + "' --output '" + place.dir + "/played.wav'");
    EXPECT_EQ(played.exit_code, 0) << played.error;
}

INSTANTIATE_TEST_SUITE_P(Formats, KilledRecordings,
    ::testing::Values(KillCase { "Mp3Middle", 3.9, 1.0, 0.2 }, KillCase { "OpusLow", 8, 6.0, 0.01 },
        KillCase { "Flac", 8, 6.0, 0.01 }),
    [](auto const& info) { return info.param.format; });

} // namespace
