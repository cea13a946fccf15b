#include "ProcessSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <keys/HardwareKey.h>
#include <linux/input-event-codes.h>
#include <optional>
#include <platform/services/key_service.h>
#include <platform/services/notifier.h>
#include <platform/services/registry_store.h>
#include <sys/wait.h>

using namespace app_test;

// A device's record button bound to quick recording, pressed with the program running and with it not
// running: the button service runs in this process on injected events and starts the real program with
// the command the table holds; the program records from a file microphone on the headless display.
namespace {

// Variables that the programs the button starts inherit from this process; the old values come back.
class Environment {
public:
    Environment(Environment const&) = delete;
    Environment& operator=(Environment const&) = delete;
    Environment() = default;
    ~Environment()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }
    void set(char const* name, std::string const& value)
    {
        char const* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// The service's real starter; whatever it started and is still running is killed when the test ends,
// passed or failed.
class KeptProcesses final : public platform::ProcessStarter {
public:
    KeptProcesses() = default;
    KeptProcesses(KeptProcesses const&) = delete;
    KeptProcesses& operator=(KeptProcesses const&) = delete;
    ~KeptProcesses() override
    {
        for (int64_t pid : started)
            if (spawned_.running(pid)) {
                ::kill(static_cast<pid_t>(pid), SIGKILL);
                ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
            }
    }
    int64_t start(std::vector<std::string> const& argv) override
    {
        int64_t const id = spawned_.start(argv);
        if (id > 0)
            started.push_back(id);
        return id;
    }
    bool running(int64_t id) override { return spawned_.running(id); }
    // Ends a started program the way the desktop does (SIGTERM); whether it ended in time.
    bool stop(int64_t id)
    {
        ::kill(static_cast<pid_t>(id), SIGTERM);
        return wait_until([&] { return !spawned_.running(id); });
    }

    std::vector<int64_t> started;

private:
    platform::SpawnedProcesses spawned_;
};

// Kills a program started through the shell when the test ends, passed or failed.
struct KilledAtEnd {
    RavelinProcess const& process;
    ~KilledAtEnd()
    {
        if (process.running())
            ::kill(process.pid, SIGKILL);
    }
};

// The newest file under the documents folder and its size (empty path when there is none).
std::pair<std::string, uintmax_t> newest_document()
{
    namespace fs = std::filesystem;
    std::pair<std::string, uintmax_t> newest;
    fs::file_time_type newest_time {};
    std::error_code error;
    for (fs::recursive_directory_iterator it(std::getenv("XDG_DOCUMENTS_DIR"), error), end; !error && it != end;
         it.increment(error)) {
        if (!it->is_regular_file(error))
            continue;
        auto const time = it->last_write_time(error);
        if (newest.first.empty() || time > newest_time) {
            newest = { it->path().string(), it->file_size(error) };
            newest_time = time;
        }
    }
    return newest;
}

class QuickRecordEndToEndTest : public ::testing::Test {
protected:
    static constexpr int64_t TAP_MS = 80;
    static constexpr char DEVICE[] = "event7";

    void SetUp() override
    {
        use_test_data();
        std::string const speech = testing_support::fresh_dir("speech") + "/speech.wav";
        ASSERT_EQ(
            testing_support::run("sox -n -r 16000 -c 1 -b 16 " + speech + " synth 30 sine 300 vol 0.5").exit_code, 0);
        std::filesystem::remove_all(std::getenv("XDG_DOCUMENTS_DIR"));
        std::filesystem::create_directories(std::getenv("XDG_DOCUMENTS_DIR"));
        runtime = testing_support::fresh_dir("runtime");
        state = testing_support::fresh_dir("keyed");
        environment.set("XDG_RUNTIME_DIR", runtime);
        environment.set("XDG_STATE_HOME", state);
        environment.set("RAVELIN_TRACE_FORMS", state + "/trace.txt");
        environment.set("RAVELIN_AUDIO_IN", "file:" + speech);

        // The device arrives; its button is published; the user binds it on the quick-record screen, which
        // writes the running program's command: its full path in double quotes, then "record".
        service.handle({ platform::InputEvent::Kind::ADDED, { DEVICE, { KEY_RECORD, KEY_A } } });
        for (auto& k : keys::list_hardware_keys())
            if (k.key.ends_with(u"\\Record"))
                button = k;
        ASSERT_EQ(button.name, u"Record button");
        ASSERT_TRUE(keys::assign(button, u"\"" + core::from_utf8(testing_support::bin_dir()) + u"/ravelin\" record"));
    }

    void TearDown() override
    {
        keys::unassign(button);
        service.handle({ platform::InputEvent::Kind::REMOVED, { DEVICE, {} } });
    }

    // A short press of the button; answers how many commands the service started for it.
    int press()
    {
        int const before = service.started();
        clock += 1000;
        service.handle({ platform::InputEvent::Kind::KEY, { DEVICE, {} }, KEY_RECORD, 1, clock });
        service.handle({ platform::InputEvent::Kind::KEY, { DEVICE, {} }, KEY_RECORD, 0, clock + TAP_MS });
        return service.started() - before;
    }

    // Waits until the newest document grows; its path.
    static std::string growing_recording()
    {
        std::pair<std::string, uintmax_t> first;
        bool const grew = wait_until([&] {
            auto const now = newest_document();
            if (now.first.empty() || now.second == 0)
                return false;
            if (first.first != now.first)
                first = now;
            return now.second > first.second;
        });
        return grew ? first.first : std::string();
    }

    static bool shows_element(std::string const& trace, std::string const& id)
    {
        return trace.find("\n" + id + " ") != std::string::npos;
    }

    Environment environment;
    KeptProcesses processes;
    platform::KeyService service { platform::RegistryStore::instance(), processes };
    keys::HardwareKey button;
    std::string runtime;
    std::string state;
    int64_t clock = 0;
};

} // namespace

TEST_F(QuickRecordEndToEndTest, ThePressReachesTheRunningProgramWhichRecordsThenPausesAndResumes)
{
    auto first = start_ravelin(runtime, "");
    KilledAtEnd kill_first { first };
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.trace();
    ASSERT_TRUE(newest_document().first.empty());

    ASSERT_EQ(press(), 1);
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormRecording"); })) << first.trace();
    std::string const recording = growing_recording();
    EXPECT_FALSE(recording.empty()) << "no recording grows in the documents folder";
    // The started instance handed its command over and ended.
    EXPECT_TRUE(wait_until([&] { return !processes.running(processes.started.back()); }));

    ASSERT_EQ(press(), 1);
    EXPECT_TRUE(wait_until([&] { return shows_element(first.trace(), "btnResume"); })) << first.trace();
    ASSERT_EQ(press(), 1);
    EXPECT_TRUE(wait_until([&] { return shows_element(first.trace(), "btnPause"); })) << first.trace();
    EXPECT_EQ(growing_recording(), recording) << "the same recording goes on";
    EXPECT_TRUE(shows(first, "FormRecording"));

    ASSERT_TRUE(stop(first));
    auto const [path, seconds] = newest_recording(runtime, first.dir);
    EXPECT_EQ(path, recording);
    EXPECT_GT(seconds, 0.5);
}

TEST_F(QuickRecordEndToEndTest, ThePressStartsTheProgramWhichRecordsAtOnce)
{
    ASSERT_EQ(press(), 1);
    int64_t const program = processes.started.back();
    ASSERT_TRUE(wait_until([&] {
        return testing_support::read_file(state + "/trace.txt").starts_with("FormRecording\n");
    })) << testing_support::read_file(state + "/trace.txt");
    std::string const recording = growing_recording();
    EXPECT_FALSE(recording.empty()) << "no recording grows in the documents folder";
    EXPECT_TRUE(processes.running(program)) << "the started program stays";

    // A second press finds it running and pauses its recording.
    ASSERT_EQ(press(), 1);
    EXPECT_TRUE(wait_until([&] {
        return shows_element(testing_support::read_file(state + "/trace.txt"), "btnResume");
    })) << testing_support::read_file(state + "/trace.txt");

    ASSERT_TRUE(processes.stop(program));
    auto const [path, seconds] = newest_recording(runtime, state);
    EXPECT_EQ(path, recording);
    EXPECT_GT(seconds, 0.2);
}
