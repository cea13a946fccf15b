#include "AudioTestSupport.h"

#include <audio/readers/DurationProbe.h>

using namespace audio;
using namespace testing_support;

namespace {

// A tone with noise over it, so that a variable-rate encoder varies.
constexpr char SOURCE[] = "-f lavfi -i sine=d=7.37 -f lavfi -i anoisesrc=d=7.37:a=0.3 -filter_complex amix ";

// by_frames: ffprobe guesses an untagged variable stream's length from its first frame's rate, so its
// own count of the frames is the truth there. tool: encodes the tone as a WAV file ($1) into the case's
// file ($2) instead of ffmpeg.
struct Case {
    char const *name, *coding;
    bool by_frames;
    char const* tool = nullptr;
};

double ffprobe_seconds(std::string const& path, bool by_frames)
{
    if (!by_frames)
        return probed_duration(path);
    std::string const probe = "ffprobe -v error -count_packets -show_entries stream=nb_read_packets,sample_rate ";
    auto const out = run(probe + "-of csv=p=0 " + path).output;
    return std::stod(out.substr(out.find(',') + 1)) * 1152 / std::stod(out);
}

class DurationProbeTest : public testing::TestWithParam<Case> { };

TEST_P(DurationProbeTest, MatchesFfprobeWithin30Ms)
{
    auto const& c = GetParam();
    std::string const path = fresh_dir("durations") + "/" + c.name;
    std::string const made = c.tool ? path + ".wav" : path;
    ASSERT_EQ(run(std::string("ffmpeg -v error ") + SOURCE + c.coding + " " + made).exit_code, 0);
    ASSERT_TRUE(!c.tool || run(std::string("sh -c '") + c.tool + "' sh " + made + " " + path).exit_code == 0);
    EXPECT_NEAR(double(probe_duration_ms(core::from_utf8(path))) / 1000, ffprobe_seconds(path, c.by_frames), 0.030)
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(Codings, DurationProbeTest,
    testing::Values(Case { "cbr.mp3", "-ac 1 -ar 22050 -c:a libmp3lame -b:a 32k -write_xing 0 -write_id3v1 1", false },
        Case { "cbr-stereo.mp3", "-ac 2 -ar 44100 -c:a libmp3lame -b:a 128k -write_xing 0", false },
        Case { "vbr-xing.mp3", "-ac 2 -ar 44100 -c:a libmp3lame -q:a 2", false },
        Case { "vbr.mp3", "-ac 2 -ar 44100 -c:a libmp3lame -q:a 2 -write_xing 0", true },
        Case { "pcm.wav", "-ac 1 -ar 8000 -c:a pcm_s16le", false },
        Case { "pcm-stereo.wav", "-ac 2 -ar 44100 -c:a pcm_s24le", false },
        Case { "adpcm.wav", "-ac 1 -ar 8000 -c:a adpcm_ms", false },
        Case { "gsm.wav", "-ac 1 -ar 8000 -c:a libgsm_ms", false },
        Case { "tone.flac", "-ac 1 -ar 16000", false, "flac -s -o $2 $1" },
        Case { "tone.opus", "-ac 1 -ar 16000", false, "opusenc --quiet $1 $2" },
        Case { "tone.ogg", "-ac 2 -ar 44100", false, "oggenc -Q -o $2 $1" }),
    [](auto const& info) { return std::to_string(info.index); });

// ffprobe misjudges Musepack's length, so the source's own is the truth; its frames hold bytes that look
// like MPEG frame headers, which gave a length of a millisecond.
TEST(DurationProbe, MusepackTellsItsLengthBehindATagToo)
{
    std::string const dir = fresh_dir("musepack");
    ASSERT_EQ(run(std::string("ffmpeg -v error ") + SOURCE + "-ac 2 -ar 44100 " + dir + "/t.wav").exit_code, 0);
    ASSERT_EQ(run("mpcenc --silent " + dir + "/t.wav " + dir + "/t.mpc").exit_code, 0);
    std::string const mpc = read_file(dir + "/t.mpc");
    write_file(dir + "/tagged.mpc", std::string("ID3\x03\x00\x00\x00\x00\x00\x10", 10) + std::string(16, '\0') + mpc);
    for (char const* name : { "t.mpc", "tagged.mpc" })
        EXPECT_NEAR(double(probe_duration_ms(core::from_utf8(dir + "/" + name))) / 1000, 7.37, 0.030) << name;
}

TEST(DurationProbe, DamagedOrForeignFilesHaveNoLength)
{
    std::string const dir = fresh_dir("damaged");
    std::string const wav = wav16(8000, tone(1.0, 8000));
    std::string const cases[] = {
        "", // empty
        std::string(5000, '\x55'), // no frame anywhere
        "ID3\x03\x00\x00\x00\x00\x00\x10" + std::string(16, '\0'), // a tag and nothing after it
        wav.substr(0, 30), // a WAV header cut inside its fmt chunk
        "RIFF\xff\xff\xff\xffWAVEdata\xff\xff\xff\xff", // no fmt chunk
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        write_file(dir + "/" + std::to_string(i), cases[i]);
        EXPECT_EQ(probe_duration_ms(core::from_utf8(dir + "/" + std::to_string(i))), UNKNOWN_DURATION) << i;
    }
    // A recording cut short counts what it holds, not what its header promised.
    write_file(dir + "/short.wav", wav.substr(0, 44 + 8000));
    EXPECT_EQ(probe_duration_ms(core::from_utf8(dir + "/short.wav")), 500);
    EXPECT_EQ(probe_duration_ms(u"/nonexistent/file.mp3"), UNKNOWN_DURATION);
}

} // namespace
