#include <TestSupport.h>
#include <document/Document.h>
#include <filesystem>
#include <platform/wave/wave.h>

using namespace document;
using core::StringView;

// The Document's tick runs only while a recording (paused too) or a playback does: an idle program wakes
// for nothing. Each start arms it again, and what it watches (a playback's end) is still seen after a stop.
TEST(DocumentTickTest, TheTickRunsOnlyWhileSomethingRuns)
{
    core::CActiveScheduler scheduler { u"DocumentTickTestClass" };
    std::filesystem::remove_all(testing_support::test_home() + "/Documents");
    testing_support::forget_settings();
    platform::select_wave_input("file:" + testing_support::wav_file(testing_support::tone(20)));
    platform::select_wave_output("file:" + testing_support::fresh_dir("tick-speaker") + "/out.wav,fast");
    std::string const longer = testing_support::wav_file(testing_support::tone(20, 8000), 8000);
    std::string const shorter = testing_support::wav_file(testing_support::tone(0.3, 8000), 8000);
    Document::Services services;
    services.play_sound = [](StringView) {};
    services.keep_awake = [](platform::Wakefulness) {};
    Document d(std::move(services));
    ASSERT_TRUE(testing_support::run_messages_for([&] { return !d.is_scanning(); }, 5));
    int32_t const idle = scheduler.active_counter();

    struct Step {
        char const* what;
        std::function<void()> act;
        bool runs;
    };
    Step const steps[] = {
        { "recording", [&] { ASSERT_TRUE(d.record(false, {}, {}, phone::CALL_NONE)); }, true },
        { "paused", [&] { d.pause(true); }, true },
        { "stopped", [&] { d.stop(); }, false },
        { "playing", [&] { ASSERT_TRUE(d.play(core::from_utf8(longer), 0)); }, true },
        { "a recording replacing the playback", [&] { ASSERT_TRUE(d.record(false, {}, {}, phone::CALL_NONE)); }, true },
        { "stopped again", [&] { d.stop(); }, false },
        // Only the tick ends a playback that has played to its end.
        { "a short playback played out",
            [&] {
                ASSERT_TRUE(d.play(core::from_utf8(shorter), 0));
                EXPECT_TRUE(testing_support::run_messages_for([&] { return !d.is_playing(); }, 5));
            },
            false },
    };
    for (auto const& step : steps) {
        step.act();
        EXPECT_EQ(scheduler.active_counter(), idle + (step.runs ? 1 : 0)) << step.what;
    }
    platform::select_wave_input("none");
    platform::select_wave_output("none");
}
