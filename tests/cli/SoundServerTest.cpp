// Recording and playing through a real sound server, as a desktop and a Linux phone have it: PipeWire
// and its PulseAudio side, reached through SDL, with a null sink whose monitor is the microphone.
#include "CliTest.h"

#include <SoundServer.h>
#include <fstream>

using cli_test::cli;
using testing_support::process_runs;
using testing_support::read_file;
using testing_support::run;
using testing_support::sound_of;
using testing_support::SoundServer;
using testing_support::wait_until;

namespace {

class SoundServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        skip_ = SoundServer::missing();
        if (skip_.empty())
            server_ = new SoundServer;
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override
    {
        if (!skip_.empty())
            GTEST_SKIP() << skip_;
        ASSERT_TRUE(server_->problem().empty()) << server_->problem();
        dir_ = testing_support::fresh_dir("sound");
        env_ = server_->environment() + "XDG_DOCUMENTS_DIR='" + dir_ + "/Documents' RAVELIN_REGISTRY='" + dir_
            + "/registry.db' LSAN_OPTIONS=suppressions=" + testing_support::source_dir() + "/tests/lsan.supp ";
    }

    // The tone of a test plays no longer than the test.
    void TearDown() override
    {
        if (tone_ > 0 && kill(tone_, SIGTERM) == 0)
            wait_until([&] { return !process_runs(tone_); });
    }

    static inline SoundServer* server_ = nullptr;
    static inline std::string skip_;
    std::string dir_;
    std::string env_;
    int tone_ = 0;
};

} // namespace

TEST_F(SoundServerTest, TheServersDevicesAreListedByTheirDescriptionsMonitorsIncluded)
{
    auto const listed = run(env_ + cli() + " devices");
    ASSERT_EQ(listed.exit_code, 0) << listed.error;
    EXPECT_NE(listed.output.find(std::string("capture\t") + SoundServer::MONITOR + "\n"), std::string::npos)
        << listed.output;
    EXPECT_NE(listed.output.find(std::string("playback\t") + SoundServer::SINK_DESCRIPTION + "\n"), std::string::npos)
        << listed.output;
    // A name the server does not offer is refused in one line, and nothing is recorded.
    auto const refused = run(env_ + cli() + " record --seconds 1 --input 'No Such Microphone'");
    EXPECT_TRUE(cli_test::one_line_error(refused)) << refused.error;
    EXPECT_NE(refused.error.find("ravelin-cli devices"), std::string::npos) << refused.error;
    EXPECT_FALSE(testing_support::file_exists(dir_ + "/Documents/My Ravelin"));
}

TEST_F(SoundServerTest, ThreeSecondsOfAToneAreRecordedFromTheSinksMonitor)
{
    tone_ = server_->play_tone(dir_);
    auto const recorded = run(env_ + cli() + " record --seconds 3 --input '" + SoundServer::MONITOR + "'");
    ASSERT_EQ(recorded.exit_code, 0) << recorded.error;
    auto const sound = sound_of(recorded.output.substr(0, recorded.output.find('\n')));
    EXPECT_NEAR(sound.length, 3.0, 0.1);
    EXPECT_NEAR(sound.first_hz, 1000, 10);
    EXPECT_NEAR(sound.second_hz, 1000, 10);
}

// What the sink plays is what the file holds: its length, its two tones and its loudness, as the sink's
// monitor hears them, and its last 60 ms, a third tone.
TEST_F(SoundServerTest, AFilePlayedOnTheSinkIsWhatItsMonitorHears)
{
    std::string const known = dir_ + "/known.wav", heard = dir_ + "/heard.wav";
    ASSERT_EQ(run("sox -n -r 48000 -c 2 -b 16 " + known
                  + " synth 1 sine 440 : synth 1 sine 880 : synth 0.06 sine 1320 vol 0.5")
                  .exit_code,
        0);
    int const recorder = server_->start_client(std::string("pw-record --target ") + SoundServer::SINK
            + " -P '{ stream.capture.sink=true }' --format s16 --rate 48000 --channels 2 " + heard,
        dir_ + "/pw-record.txt");
    // Listed is not yet linked: the file grows once the monitor's silence flows into it, and only then can
    // it hear the tone's start.
    ASSERT_TRUE(wait_until([&] { return read_file(heard).size() > 4096; }));
    auto const played = run(env_ + cli() + " play " + known + " --output '" + SoundServer::SINK_DESCRIPTION + "'");
    EXPECT_EQ(played.exit_code, 0) << played.error;
    // The monitor hears the end a little later, and a busy pw-record writes it later still: it goes on
    // until its file ends in 0.3 s of silence.
    ASSERT_TRUE(wait_until([&] {
        auto const samples = testing_support::samples16(read_file(heard));
        auto const loud = std::find_if(samples.rbegin(), samples.rend(), [](int16_t s) { return std::abs(s) >= 1600; });
        return loud != samples.rend() && loud - samples.rbegin() >= 48000 * 2 * 3 / 10;
    }));
    kill(recorder, SIGINT);
    ASSERT_TRUE(wait_until([&] { return !process_runs(recorder); }));

    auto const expected = sound_of(known), got = sound_of(heard);
    EXPECT_NEAR(got.seconds, expected.seconds, 0.05);
    EXPECT_NEAR(got.first_hz, expected.first_hz, expected.first_hz * 0.02);
    EXPECT_NEAR(got.second_hz, expected.second_hz, expected.second_hz * 0.02);
    EXPECT_NEAR(got.rms, expected.rms, expected.rms * 0.1);

    // The end is heard: closing the device as its last block was taken dropped 12 ms of it on an idle
    // machine, 117 ms on a busy one. A busy pw-record may miss a quantum of 256 frames anywhere, so 8 ms
    // may lack. The last tone is the last run of loud periods of 36 samples; a click after it is passed.
    auto const samples = testing_support::samples16(read_file(heard + ".raw"));
    std::vector<size_t> ups; // upward zero crossings into a loud period
    for (size_t i = 1; i + 30 < samples.size(); ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0
            && std::any_of(samples.begin() + long(i), samples.begin() + long(i + 30),
                [](int16_t s) { return std::abs(s) >= 1600; }))
            ups.push_back(i);
    std::string periods;
    size_t run = 0;
    for (size_t k = ups.size(); k-- > 1 && (run == 0 || ups[k] - ups[k - 1] <= 40);) {
        if (periods.size() < 400)
            periods += std::to_string(ups[k] - ups[k - 1]) + " ";
        run += ups[k] - ups[k - 1] >= 33 && ups[k] - ups[k - 1] <= 40 ? 1 : 0;
    }
    EXPECT_GT(run / 1320.0, 0.052) << "periods from the end: " << periods;
}

// The microphone goes away while it records (its sink is unloaded): the recording ends with the device
// failure's message, and what was recorded plays.
TEST_F(SoundServerTest, AMicrophoneThatGoesAwayEndsTheRecordingWithAPlayableFile)
{
    tone_ = server_->play_tone(dir_);
    std::string const out = dir_ + "/out.txt", status = dir_ + "/status.txt";
    run("(" + env_ + cli() + " record --input '" + SoundServer::MONITOR + "' >" + out + " 2>" + dir_
        + "/err.txt; echo $? >" + status + ") >/dev/null 2>&1 &");
    std::string path;
    ASSERT_TRUE(wait_until([&] {
        path = read_file(out).substr(0, read_file(out).find('\n'));
        return !path.empty() && read_file(path).size() > 16000; // a second of audio is written
    })) << read_file(dir_ + "/err.txt");
    ASSERT_TRUE(server_->unload_sink());
    bool const stopped = wait_until([&] { return !read_file(status).empty(); }, 20000);
    server_->load_sink();
    ASSERT_TRUE(stopped) << "the recording went on without its microphone";

    EXPECT_EQ(read_file(status), "1\n");
    std::string const error = read_file(dir_ + "/err.txt");
    EXPECT_NE(error.find("ravelin-cli: Sorry, the recording was stopped"), std::string::npos) << error;
    auto const sound = sound_of(path);
    EXPECT_GT(sound.seconds, 1.0);
    EXPECT_NEAR(sound.first_hz, 1000, 10);
}
