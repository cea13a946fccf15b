#include <TestSupport.h>
#include <document/Document.h>
#include <numeric>
#include <platform/wave/wave.h>

using namespace testing_support;

namespace {

constexpr int SPEAKER_RATE = 8000;
constexpr double LENGTH_SECONDS = 3.0;

// A recording played to a speaker that is a WAV file written in real time: what the file holds is what
// the listener has heard. At 8 kHz one pull of the player is two seconds of sound, on top of the blocks
// queued at the device.
class PlaybackPositionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        forget_settings(); // full volume: the speaker gets the samples as they are
        std::vector<int16_t> samples(size_t(SPEAKER_RATE * LENGTH_SECONDS));
        std::iota(samples.begin(), samples.end(), int16_t(0)); // every frame its own value
        write_file(path, source = wav16(SPEAKER_RATE, samples));
        platform::select_wave_output("file:" + speaker);
    }
    void TearDown() override
    {
        document.reset();
        platform::select_wave_output("none");
    }

    // Seconds of sound the speaker has been given.
    double heard() const { return std::max<double>(0, double(read_file(speaker).size()) - 44) / (SPEAKER_RATE * 2); }

    bool wait_heard(double seconds)
    {
        return wait_until([&] { return heard() >= seconds; });
    }

    core::CActiveScheduler scheduler { u"PlaybackPositionTest" };
    std::unique_ptr<document::Document> document;
    std::string source, path = fresh_dir("recordings") + "/ramp.wav", speaker = fresh_dir("speaker") + "/out.wav";
};

} // namespace

// The Document's tick is not run, so the playback is not stopped at its end and the final position can
// be read. The end is what the speaker holds, not a length counted from a seek: a frame or two of the new
// place may already have been played when the seek's moment was read.
TEST_F(PlaybackPositionTest, AfterASeekTheEndIsWhatTheSpeakerHasPlayed)
{
    document = std::make_unique<document::Document>();
    ASSERT_TRUE(document->play(core::from_utf8(path), 0));
    ASSERT_TRUE(wait_heard(0.5));
    ASSERT_TRUE(document->seek(0.25));
    std::string const rest = source.substr(44 + size_t(0.75 * SPEAKER_RATE) * 2);
    ASSERT_TRUE(testing_support::wait_until([&] { return read_file(speaker).ends_with(rest); }))
        << "the speaker got the rest from 0.75 s on; heard " << heard() << " s";
    EXPECT_NEAR(document->play_position(), LENGTH_SECONDS, 0.001);
    EXPECT_NEAR(document->play_position(), document->current_duration(), 0.001);
}
