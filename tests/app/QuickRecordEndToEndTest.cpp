#include "ProcessSupport.h"

#include <functional>
#include <keys/HardwareKey.h>
#include <linux/input-event-codes.h>
#include <platform/services/key_service.h>
#include <platform/services/notifier.h>
#include <platform/services/registry_store.h>
#include <sys/wait.h>

using namespace app_test;

namespace {

// The service's real starter; whatever it started and is still running is killed when the test ends,
// passed or failed.
class KeptProcesses final : public platform::ProcessStarter {
public:
    ~KeptProcesses() override
    {
        for (int64_t pid : started)
            if (spawned_.running(pid) && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0)
                ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
    }
    int64_t start(std::vector<std::string> const& argv) override
    {
        int64_t const id = spawned_.start(argv);
        if (id > 0)
            started.push_back(id);
        return id;
    }
    bool running(int64_t id) override { return spawned_.running(id); }

    std::vector<int64_t> started;

private:
    platform::SpawnedProcesses spawned_;
};

// Runs `undo` at the end of the scope, passed or failed.
struct Undone {
    std::function<void()> undo;
    ~Undone() { undo(); }
};

} // namespace

// A device's record button bound to quick recording, pressed with the program not running: the button
// service runs in this process on injected events and starts the real program with the command the table
// holds, which records at once from a file microphone on the headless display. A second press starts it
// again; that instance hands "record" over to the first, which pauses.
TEST(QuickRecordEndToEndTest, ThePressStartsTheProgramWhichRecordsAndASecondPressPauses)
{
    use_test_data();
    std::string const runtime = testing_support::fresh_dir("runtime"), state = testing_support::fresh_dir("keyed");
    // What the started programs inherit from this process.
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("RAVELIN_TRACE_FORMS", (state + "/trace.txt").c_str(), 1);
    setenv(
        "RAVELIN_AUDIO_IN", ("file:" + testing_support::wav_file(testing_support::tone(30, 16000), 16000)).c_str(), 1);
    KeptProcesses processes;
    platform::KeyService service(platform::RegistryStore::instance(), processes);
    keys::HardwareKey button;
    Undone const restored { [&] {
        keys::unassign(button);
        service.handle({ platform::InputEvent::Kind::REMOVED, { "event7", {} } });
        setenv("XDG_RUNTIME_DIR", (testing_support::test_home() + "/run").c_str(), 1);
        setenv("XDG_STATE_HOME", (testing_support::test_home() + "/state").c_str(), 1);
        unsetenv("RAVELIN_TRACE_FORMS");
        setenv("RAVELIN_AUDIO_IN", "none", 1);
    } };
    // The device arrives; its button is published; the user binds it on the quick-record screen, which
    // writes the running program's command: its full path in double quotes, then "record".
    service.handle({ platform::InputEvent::Kind::ADDED, { "event7", { KEY_RECORD, KEY_A } } });
    for (auto& k : keys::list_hardware_keys())
        if (k.key.ends_with(u"\\Record"))
            button = k;
    ASSERT_EQ(button.name, u"Record button");
    ASSERT_TRUE(keys::assign(button, u"\"" + core::from_utf8(testing_support::bin_dir()) + u"/ravelin\" record"));
    int64_t clock = 0;
    auto const press = [&] {
        int const before = service.started();
        clock += 1000;
        service.handle({ platform::InputEvent::Kind::KEY, { "event7", {} }, KEY_RECORD, 1, clock });
        service.handle({ platform::InputEvent::Kind::KEY, { "event7", {} }, KEY_RECORD, 0, clock + 80 });
        return service.started() - before;
    };
    auto const trace = [&] { return testing_support::read_file(state + "/trace.txt"); };

    ASSERT_EQ(press(), 1);
    int64_t const program = processes.started.back();
    ASSERT_TRUE(wait_until([&] { return trace().starts_with("FormRecording\n"); })) << trace();
    std::pair<std::string, double> recording;
    EXPECT_TRUE(wait_until([&] { return (recording = newest_recording(runtime, state)).second > 0.5; }))
        << "no recording grows";
    EXPECT_TRUE(processes.running(program)) << "the started program stays";

    ASSERT_EQ(press(), 1);
    EXPECT_TRUE(wait_until([&] { return trace().find("\nbtnResume ") != std::string::npos; })) << trace();
    EXPECT_TRUE(wait_until([&] { return !processes.running(processes.started.back()); })) << "the second one ended";
    ::kill(static_cast<pid_t>(program), SIGTERM);
    EXPECT_TRUE(wait_until([&] { return !processes.running(program); }));
    EXPECT_EQ(newest_recording(runtime, state).first, recording.first);
}
