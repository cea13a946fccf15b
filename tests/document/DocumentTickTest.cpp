#include <TestSupport.h>
#include <document/Document.h>
#include <platform/wave/wave.h>

using namespace document;
using namespace testing_support;

// The Document's tick runs only while a recording (paused too) or a playback does: an idle program wakes
// for nothing. Each start arms it again, and what it watches (a playback's end) is still seen after a stop.
TEST(DocumentTickTest, TheTickRunsOnlyWhileSomethingRuns)
{
    core::CActiveScheduler scheduler { u"DocumentTickTestClass" };
    std::filesystem::remove_all(test_home() + "/Documents");
    forget_settings();
    platform::select_wave_input("file:" + wav_file(tone(20)));
    platform::select_wave_output("file:" + fresh_dir("tick-speaker") + "/out.wav,fast");
    core::String const longer = core::from_utf8(wav_file(tone(20, 8000), 8000));
    core::String const shorter = core::from_utf8(wav_file(tone(0.3, 8000), 8000));
    Document d({ .play_sound = [](core::StringView) {}, .keep_awake = [](platform::Wakefulness) {} });
    ASSERT_TRUE(run_messages_for([&] { return !d.is_scanning(); }, 5));
    int32_t const idle = scheduler.active_counter();

    auto const record = [&] { ASSERT_TRUE(d.record(false, {}, {}, phone::CALL_NONE)); };
    struct Step {
        char const* what;
        std::function<void()> act;
        bool runs;
    } const steps[] = {
        { "recording", record, true },
        { "paused", [&] { d.pause(true); }, true },
        { "stopped", [&] { d.stop(); }, false },
        { "playing", [&] { ASSERT_TRUE(d.play(longer, 0)); }, true },
        { "a recording replacing the playback", record, true },
        { "stopped again", [&] { d.stop(); }, false },
        // Only the tick ends a playback that has played to its end.
        { "a short playback played out",
            [&] {
                ASSERT_TRUE(d.play(shorter, 0));
                EXPECT_TRUE(run_messages_for([&] { return !d.is_playing(); }, 5));
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
