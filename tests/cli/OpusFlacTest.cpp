// Opus and FLAC through ravelin-cli: what encode and record write, read back by ffmpeg, ffprobe, opusinfo
// and flac; and what those programs write, read by info, tag and play.
#include "CliTest.h"
#include <cmath>
#include <gtest/gtest.h>

using namespace cli_test;
using testing_support::CommandResult;
using testing_support::fresh_dir;
using testing_support::read_file;
using testing_support::run;

namespace {

std::string sox_input(std::string const& path, int rate, int channels, double seconds)
{
    auto const r = run("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 '" + path
        + "' synth " + std::to_string(seconds) + " sine 180:700 sine 310 vol 0.35");
    EXPECT_EQ(r.exit_code, 0) << r.error;
    return path;
}

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

CommandResult encode(std::string const& in, std::string const& out, std::string const& options)
{
    return run(cli() + " encode " + in + " " + out + " " + options);
}

std::vector<int16_t> decoded(std::string const& path, std::string const& options = "")
{
    return samples16(run("ffmpeg -v error" + options + " -i " + path + " -f s16le -").output);
}

// ffprobe's stream facts and tags (Ogg keeps the tags in the stream, FLAC in the format).
std::map<std::string, std::string> probe(std::string const& path)
{
    return key_values(run("ffprobe -v error -show_entries stream=codec_name,channels:stream_tags:format_tags"
                          ":format=duration -of default=nw=1 "
        + path)
                          .output);
}

double snr(std::vector<int16_t> const& reference, std::vector<int16_t> const& other)
{
    double signal = 0, error = 0;
    for (size_t i = 0; i < std::min(reference.size(), other.size()); ++i) {
        signal += double(reference[i]) * reference[i];
        error += std::pow(double(reference[i]) - other[i], 2);
    }
    return 10 * std::log10(signal / std::max(error, 1.0));
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
    std::vector<int16_t> const source = samples16(run("sox " + in + " -t s16 -").output), our = decoded(ours);
    EXPECT_EQ(our.size(), source.size());
    double const s = snr(source, our), t = snr(source, decoded(theirs));
    std::printf("[ figure ] Opus %d kbit/s: SNR %.2f dB, opusenc %.2f dB; %zu bytes, opusenc %zu ]\n", kbps, s, t,
        read_file(ours).size(), read_file(theirs).size());
    EXPECT_GE(s, t - 1.0);
    auto facts = probe(ours);
    EXPECT_EQ(facts["codec_name"], "opus");
    EXPECT_EQ(facts["channels"], "1");
}

INSTANTIATE_TEST_SUITE_P(Rates, OpusRates, ::testing::Values(16, 24, 48));

// FLAC keeps every sample, stereo and at the input's rate; the recording's texts are its comments, read
// by ffprobe and by Ravelin.
TEST(Encode, FlacGivesBackEverySampleAndItsTags)
{
    std::string const dir = fresh_dir("flac-exact");
    for (auto const& [rate, channels] : { std::pair { 44100, 1 }, std::pair { 22050, 2 } }) {
        std::string const in = sox_input(dir + "/Interview.wav", rate, channels, 2.0), out = dir + "/out.flac";
        auto const r = encode(in, out, "--format FLAC");
        ASSERT_EQ(r.exit_code, 0) << r.error;
        EXPECT_EQ(decoded(out), samples16(run("sox " + in + " -t s16 -").output));
        EXPECT_EQ(run("flac -t -s " + out).exit_code, 0);
        auto facts = probe(out);
        EXPECT_EQ(facts["channels"], std::to_string(channels));
        EXPECT_EQ(facts["TAG:TITLE"], "Interview");
        auto tags = key_values(run(cli() + " tag " + out).output);
        EXPECT_EQ(tags["TITLE"], "Interview");
        EXPECT_EQ(tags["ALBUM"], "Record");
    }
}

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
    std::vector<int16_t> const theirs = decoded(file, c.format == "Opus" ? " -c:a libopus" : "");
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

// A place of its own for one recording: documents folder and registry.
struct Place {
    std::string dir = fresh_dir("coded");
    std::string env = "XDG_DOCUMENTS_DIR='" + dir + "/Documents' RAVELIN_REGISTRY='" + dir + "/registry.db' ";
    std::string mic(double seconds, std::string const& mode = "")
    {
        return "RAVELIN_AUDIO_IN='file:" + sox_input(dir + "/tone.wav", 44100, 1, seconds) + mode + "' ";
    }
};

std::string first_line(std::string const& text)
{
    return text.substr(0, text.find('\n'));
}

// Seconds of audio that ffmpeg decodes from the file; `errors` gets what it reports.
double decoded_seconds(std::string const& path, std::string& errors)
{
    auto const r = run("ffmpeg -nostdin -v error -i '" + path + "' -f s16le -ac 1 -ar 44100 - | wc -c");
    errors = r.error;
    return std::stod(r.output) / (2.0 * 44100);
}

class CodedRecordings : public ::testing::TestWithParam<std::string> { };

// Killed 8 s after it started, a recording keeps all but its last 2 s: pages and frames reach the file at
// least once a second. ffmpeg decodes it without an error, and Ravelin measures and plays it.
TEST_P(CodedRecordings, AKillLosesAtMostTheLastTwoSeconds)
{
    Place place;
    std::string const out = place.dir + "/out.txt";
    // Until the recording has printed its path (at most 10 s, and no longer than it runs), then 8 s.
    auto const r = run(place.env + place.mic(20.0) + cli() + " record --format " + GetParam() + " > '" + out
        + "' & pid=$!; n=0; until [ -s '" + out
        + "' ] || [ $n -ge 1000 ] || ! kill -0 $pid 2>/dev/null; do sleep 0.01; n=$((n+1)); done; "
          "sleep 8; kill -KILL $pid; wait $pid");
    EXPECT_EQ(r.exit_code, 128 + 9);
    std::string const path = first_line(read_file(out));
    std::string errors;
    double const decoded = decoded_seconds(path, errors);
    EXPECT_EQ(errors, "");
    std::printf("[ figure ] %s killed after 8 s: %.2f s decoded\n", GetParam().c_str(), decoded);
    EXPECT_GT(decoded, 6.0);
    EXPECT_NEAR(std::stod(key_values(run(cli() + " info '" + path + "'").output)["duration"]), decoded, 0.01);
    auto const played = run(cli() + " play '" + path + "' --output '" + place.dir + "/played.wav'");
    EXPECT_EQ(played.exit_code, 0) << played.error;
}

INSTANTIATE_TEST_SUITE_P(Formats, CodedRecordings, ::testing::Values("OpusLow", "Flac"));

} // namespace
