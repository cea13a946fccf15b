// Recording and playing through a real sound server, as a desktop and a Linux phone have it: PipeWire
// and its PulseAudio side, reached through SDL, with a null sink whose monitor is the microphone.
#include "CliTest.h"

#include <SoundServer.h>
#include <fstream>
#include <gtest/gtest.h>

using cli_test::cli;
using testing_support::fresh_dir;
using testing_support::measure;
using testing_support::read_file;
using testing_support::run;
using testing_support::SoundServer;

namespace {

// Whether a process started in the background has ended (an orphan nobody reaps counts as ended).
bool ended(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    return text.empty() || text.substr(text.rfind(')') + 2, 1) == "Z";
}

template <typename Done> bool wait_until(Done done, int seconds = 20)
{
    auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class SoundServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string missing;
        if (!SoundServer::installed(missing)) {
            skip_ = "PipeWire is not installed here (" + missing + "; packages.txt has them)";
            return;
        }
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
        dir_ = fresh_dir("sound");
        env_ = server_->environment() + "XDG_DOCUMENTS_DIR='" + dir_ + "/Documents' RAVELIN_REGISTRY='" + dir_
            + "/registry.db' ";
    }

    // A 1 kHz tone played into the sink for as long as the test needs it.
    int play_tone()
    {
        std::string const tone = dir_ + "/tone.wav";
        EXPECT_EQ(run("sox -n -r 48000 -c 2 -b 16 " + tone + " synth 60 sine 1000 vol 0.5").exit_code, 0);
        return server_->start_client(
            std::string("paplay --device=") + SoundServer::SINK + " " + tone, dir_ + "/paplay.txt");
    }

    // The recording decoded by a peer into a WAV file, measured.
    testing_support::Sound decoded(std::string const& path, double& seconds)
    {
        std::string const wav = dir_ + "/decoded.wav";
        EXPECT_EQ(run("sox '" + path + "' -b 16 " + wav).exit_code, 0);
        uint32_t rate = 0;
        auto const samples = testing_support::wav_samples(wav, rate);
        seconds = rate ? static_cast<double>(samples.size()) / rate : 0;
        return measure(samples, rate);
    }

    static inline SoundServer* server_ = nullptr;
    static inline std::string skip_;
    std::string dir_;
    std::string env_;
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
    play_tone();
    auto const recorded = run(env_ + cli() + " record --seconds 3 --input '" + SoundServer::MONITOR + "'");
    ASSERT_EQ(recorded.exit_code, 0) << recorded.error;
    std::string const path = recorded.output.substr(0, recorded.output.find('\n'));
    double seconds = 0;
    auto const sound = decoded(path, seconds);
    EXPECT_NEAR(seconds, 3.0, 0.1);
    EXPECT_NEAR(sound.first_hz, 1000, 10);
    EXPECT_NEAR(sound.second_hz, 1000, 10);
}

// What the sink plays is what the file holds: its length, its two tones and its loudness, as the sink's
// monitor hears them.
TEST_F(SoundServerTest, AFilePlayedOnTheSinkIsWhatItsMonitorHears)
{
    std::string const known = dir_ + "/known.wav";
    ASSERT_EQ(run("sox -n -r 48000 -c 2 -b 16 " + known + " synth 1 sine 440 : synth 1 sine 880 vol 0.5").exit_code, 0);
    std::string const heard = dir_ + "/heard.wav";
    int const recorder = server_->start_client(std::string("pw-record --target ") + SoundServer::SINK
            + " -P '{ stream.capture.sink=true }' --format s16 --rate 48000 --channels 2 " + heard,
        dir_ + "/pw-record.txt");
    ASSERT_TRUE(wait_until([&] { return !server_->pactl("list short source-outputs").output.empty(); }));
    auto const played = run(env_ + cli() + " play " + known + " --output '" + SoundServer::SINK_DESCRIPTION + "'");
    EXPECT_EQ(played.exit_code, 0) << played.error;
    kill(recorder, SIGINT);
    ASSERT_TRUE(wait_until([&] { return ended(recorder); }));

    uint32_t rate = 0, heard_rate = 0;
    auto const expected = measure(testing_support::wav_samples(known, rate), rate);
    auto const got = measure(testing_support::wav_samples(heard, heard_rate), heard_rate);
    EXPECT_NEAR(got.seconds, expected.seconds, 0.05);
    EXPECT_NEAR(got.first_hz, expected.first_hz, expected.first_hz * 0.02);
    EXPECT_NEAR(got.second_hz, expected.second_hz, expected.second_hz * 0.02);
    EXPECT_NEAR(got.rms, expected.rms, expected.rms * 0.1);
}

// The microphone goes away while it records (here its sink is unloaded): the recording ends with the
// device failure's message, and what was recorded plays.
TEST_F(SoundServerTest, AMicrophoneThatGoesAwayEndsTheRecordingWithAPlayableFile)
{
    play_tone();
    std::string const out = dir_ + "/out.txt", status = dir_ + "/status.txt";
    run("(" + env_ + cli() + " record --input '" + SoundServer::MONITOR + "' >" + out + " 2>" + dir_
        + "/err.txt; echo $? >" + status + ") >/dev/null 2>&1 &");
    std::string path;
    ASSERT_TRUE(wait_until([&] {
        std::string const text = read_file(out);
        path = text.substr(0, text.find('\n'));
        return !path.empty() && read_file(path).size() > 16000; // a second of audio is written
    })) << read_file(dir_ + "/err.txt");
    ASSERT_TRUE(server_->unload_sink());
    bool const stopped = wait_until([&] { return !read_file(status).empty(); });
    server_->load_sink();
    ASSERT_TRUE(stopped) << "the recording went on without its microphone";

    EXPECT_EQ(read_file(status), "1\n");
    std::string const error = read_file(dir_ + "/err.txt");
    EXPECT_NE(error.find("ravelin-cli: Sorry, the recording was stopped"), std::string::npos) << error;
    double seconds = 0;
    auto const sound = decoded(path, seconds);
    EXPECT_GT(seconds, 1.0);
    EXPECT_NEAR(sound.first_hz, 1000, 10);
}
