#include "ProcessSupport.h"

#include <algorithm>
#include <app/Program.h>
#include <app/Starter.h>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
#include <csignal>
#include <document/Document.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <os/File.h>
#include <platform/phone/phone_simulator.h>
#include <sstream>

using namespace app_test;
using testing_support::run;

namespace {

// What the contact's PHOTO below decodes to.
std::vector<uint8_t> const PHOTO = { 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0 };

// Whether the process runs; one that ended and waits for its parent to reap it does not.
bool alive(int pid)
{
    if (pid <= 0)
        return false;
    std::string const stat = testing_support::read_file("/proc/" + std::to_string(pid) + "/stat");
    size_t const end = stat.rfind(')');
    return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
}

std::vector<int> children_of(int pid)
{
    if (pid <= 0)
        return {};
    std::istringstream listed(run("ps -o pid= --ppid " + std::to_string(pid)).output);
    std::vector<int> pids;
    for (int child = 0; listed >> child;)
        pids.push_back(child);
    return pids;
}

audio::Id3Tag tag_of(std::string const& path)
{
    os::File file(core::from_utf8(path), os::FileMode::Read);
    audio::BufferedInStream in(file, 4096);
    audio::Id3Tag tag;
    tag.read(in);
    return tag;
}

bool has_photo(audio::Id3Tag const& tag)
{
    auto const picture
        = std::find_if(tag.frames().begin(), tag.frames().end(), [](auto const& f) { return f.name() == "APIC"; });
    if (picture == tag.frames().end())
        return false;
    auto const* bytes = picture->data.data();
    std::vector<uint8_t> const data(bytes, bytes + picture->data.length());
    return std::search(data.begin(), data.end(), PHOTO.begin(), PHOTO.end()) != data.end();
}

// One test's world of its own: registry store, home folders, runtime folder, a contacts folder with one
// card that has a photo, and a microphone of 30 s of tone. The phone is ravelin-phone. Whatever was
// started in it, by the test or for it (the notifier the program starts, and what the notifier starts),
// is ended with the world, also when an assertion failed.
class CallWorld {
public:
    CallWorld()
        : dir_(testing_support::fresh_dir("call-world"))
    {
        for (char const* sub : { "config", "data", "Documents", "run", "contacts" })
            std::filesystem::create_directories(dir_ + "/" + sub);
        testing_support::write_file(dir_ + "/contacts/ann.vcf",
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann Lee\r\nTEL;TYPE=cell:+44 20 7946 0000\r\n"
            "PHOTO:data:image/jpeg;base64,/9j/4AAQSkZJRgA=\r\nEND:VCARD\r\n");
        EXPECT_EQ(run("sox -n -r 16000 -c 1 -b 16 " + dir_ + "/speech.wav synth 30 sine 300 vol 0.5").exit_code, 0);
        EXPECT_EQ(cli("settings set Log 1").exit_code, 0);
    }
    ~CallWorld()
    {
        for (int pid : programs_)
            if (alive(pid))
                kill(pid, SIGKILL);
        if (int const notifier = notifier_pid(); notifier > 0) {
            for (int child : children_of(notifier))
                kill(child, SIGKILL);
            kill(notifier, SIGKILL);
        }
    }
    CallWorld(CallWorld const&) = delete;
    CallWorld& operator=(CallWorld const&) = delete;

    std::string environment() const
    {
        return "RAVELIN_REGISTRY=" + registry() + " HOME=" + dir_ + " XDG_CONFIG_HOME=" + dir_
            + "/config XDG_DATA_HOME=" + dir_ + "/data XDG_DOCUMENTS_DIR=" + dir_ + "/Documents RAVELIN_CONTACTS="
            + dir_ + "/contacts RAVELIN_CARDS= RAVELIN_DISPLAY=headless RAVELIN_AUDIO_IN=file:" + dir_
            + "/speech.wav RAVELIN_AUDIO_OUT=none ";
    }
    std::string runtime() const { return dir_ + "/run"; }
    std::string registry() const { return dir_ + "/config/registry.db"; }

    testing_support::CommandResult cli(std::string const& arguments) const
    {
        return run("env " + environment() + testing_support::bin_dir() + "/ravelin-cli " + arguments);
    }
    bool phone(std::string const& arguments) const
    {
        return run("env " + environment() + testing_support::bin_dir() + "/ravelin-phone " + arguments + " >/dev/null")
                   .exit_code
            == 0;
    }
    std::string phone_state() const
    {
        return run("env " + environment() + testing_support::bin_dir() + "/ravelin-phone state").output;
    }
    RavelinProcess start(std::string const& arguments)
    {
        auto process = start_ravelin(runtime(), arguments, environment());
        programs_.push_back(process.pid);
        return process;
    }
    // A later start, in the foreground; its exit code.
    int later(std::string const& arguments) const
    {
        return run(process_environment(runtime(), testing_support::fresh_dir("later")) + environment()
            + testing_support::bin_dir() + "/ravelin " + arguments + " >/dev/null 2>&1")
            .exit_code;
    }
    // The notifier that holds the lock beside the registry store, 0 when none runs.
    int notifier_pid() const
    {
        int const pid = std::atoi(testing_support::read_file(registry() + "-notifier.lock").c_str());
        return alive(pid) ? pid : 0;
    }
    // The recordings of a folder of the store ("" the store itself), by file name.
    std::vector<std::string> recordings(std::string const& folder) const
    {
        std::vector<std::string> names;
        std::string const path = dir_ + "/Documents/My Ravelin/" + folder;
        if (std::filesystem::is_directory(path))
            for (auto const& entry : std::filesystem::directory_iterator(path))
                if (entry.path().extension() == ".mp3")
                    names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string recording(std::string const& folder, std::string const& name) const
    {
        return dir_ + "/Documents/My Ravelin/" + folder + "/" + name;
    }
    double seconds(std::string const& path) const
    {
        auto const info = cli("info '" + path + "'");
        size_t const at = info.output.find("duration=");
        return at == std::string::npos ? -1 : std::atof(info.output.c_str() + at + 9);
    }

    // A call (`how`: ring or dial, none for the one ringing), answered; true once `noticed` holds.
    template <typename Noticed> bool answered_call(std::string const& how, Noticed noticed)
    {
        return (how.empty() || phone(how)) && phone("answer") && wait_until(noticed);
    }

private:
    std::string dir_;
    std::vector<int> programs_;
};

bool logged(RavelinProcess const& process, std::string const& text)
{
    return wait_until([&] { return process.log().find(text) != std::string::npos; });
}

} // namespace

// The running program records every answered call: under the contact's name with its picture into
// "Incoming", under the number into "Outgoing", a withheld number as "Record"; the speakerphone is on
// while it records; the call's end stops it. One recording per call, though the notifier the program
// started hands it "call" as well.
TEST(CallEndToEndTest, CallsWhileTheProgramRunsAreRecordedUnderTheCallerUntilTheyEnd)
{
    use_test_data();
    CallWorld world;
    ASSERT_EQ(world.cli("settings set AutoRecord 1").exit_code, 0);
    ASSERT_EQ(world.cli("settings set Speaker 1").exit_code, 0);
    auto program = world.start("");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    ASSERT_TRUE(wait_until([&] { return world.notifier_pid() > 0; }));

    ASSERT_TRUE(world.phone("ring '020 7946 0000'"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(world.recordings("Incoming").empty()); // ringing is no call
    ASSERT_TRUE(world.answered_call("", [&] { return shows(program, "FormRecording"); })) << program.trace();
    EXPECT_NE(program.trace().find("\tAnn Lee\n"), std::string::npos) << program.trace();
    EXPECT_TRUE(wait_until([&] { return world.phone_state().find("Speaker=1") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    auto const incoming = world.recordings("Incoming");
    ASSERT_EQ(incoming.size(), 1u);
    EXPECT_TRUE(incoming[0].starts_with("Ann Lee ")) << incoming[0];
    std::string const path = world.recording("Incoming", incoming[0]);
    auto const tag = tag_of(path);
    EXPECT_EQ(tag.text("TPE1"), u"Ann Lee");
    EXPECT_EQ(tag.text("TALB"), u"Incoming");
    EXPECT_TRUE(has_photo(tag));
    // Stopped with the call: the file ends about where the call did, and grows no more.
    double const seconds = world.seconds(path);
    EXPECT_GT(seconds, 0.7);
    EXPECT_LT(seconds, 3.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(world.seconds(path), seconds);
    EXPECT_TRUE(logged(program, "on_other_instance_started:call"));

    ASSERT_TRUE(world.answered_call("dial '555 0100'", [&] { return shows(program, "FormRecording"); }));
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    ASSERT_TRUE(world.answered_call("ring ''", [&] { return shows(program, "FormRecording"); }));
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    EXPECT_TRUE(stop(program));

    auto const outgoing = world.recordings("Outgoing");
    ASSERT_EQ(outgoing.size(), 1u);
    EXPECT_TRUE(outgoing[0].starts_with("555 0100 ")) << outgoing[0];
    EXPECT_FALSE(has_photo(tag_of(world.recording("Outgoing", outgoing[0]))));
    auto const both = world.recordings("Incoming");
    ASSERT_EQ(both.size(), 2u);
    EXPECT_TRUE(both[1].starts_with("Record ")) << both[1];
}

// A recording started by hand goes on through a call and after it; with "AutoRecord" off a call is
// noticed but nothing is recorded, and the notifier starts nothing.
TEST(CallEndToEndTest, AHandRecordingOutlivesACallAndAutoRecordOffRecordsNothing)
{
    use_test_data();
    CallWorld world;
    ASSERT_EQ(world.cli("settings set AutoRecord 1").exit_code, 0);
    auto program = world.start("");
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormMain"); })) << program.trace();
    ASSERT_EQ(world.later("record"), 0);
    ASSERT_TRUE(wait_until([&] { return shows(program, "FormRecording"); })) << program.trace();
    // The notifier's "ravelin call" is handed over too (its start begins the shared log afresh).
    ASSERT_TRUE(
        world.answered_call("ring '020 7946 0000'", [&] { return logged(program, "on_other_instance_started:call"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(logged(program, "on_call_stop\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(shows(program, "FormRecording")) << program.trace();
    EXPECT_TRUE(world.recordings("Incoming").empty());
    EXPECT_TRUE(stop(program)); // stops the recording cleanly
    auto const own = world.recordings("");
    ASSERT_EQ(own.size(), 1u);
    EXPECT_TRUE(own[0].starts_with("Record ")) << own[0];
    EXPECT_GT(world.seconds(world.recording("", own[0])), 1.0);

    ASSERT_EQ(world.cli("settings set AutoRecord 0").exit_code, 0);
    auto second = world.start("");
    ASSERT_TRUE(wait_until([&] { return shows(second, "FormMain"); })) << second.trace();
    ASSERT_TRUE(logged(second, "stop_app_notification Ravelin.Call"));
    int const notifier = world.notifier_pid();
    ASSERT_TRUE(world.answered_call("ring '020 7946 0000'", [&] { return logged(second, "on_call_start "); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(logged(second, "on_call_stop\n"));
    EXPECT_TRUE(shows(second, "FormMain")) << second.trace();
    EXPECT_TRUE(world.recordings("Incoming").empty());
    EXPECT_EQ(second.log().find("on_other_instance_started"), std::string::npos);
    EXPECT_TRUE(children_of(notifier).empty());
    EXPECT_TRUE(stop(second));
}

namespace {

// "AutoRecord" on and the program closed again: the call notification is registered, and the notifier
// the program started goes on without it. The command-line companion used afterwards renews the
// registration, which must still start the program. Answers the first run's process (its log and trace
// folder is where the programs the notifier starts write theirs).
RavelinProcess registered_and_closed(CallWorld& world)
{
    EXPECT_EQ(world.cli("settings set AutoRecord 1").exit_code, 0);
    auto first = world.start("");
    EXPECT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.trace();
    EXPECT_TRUE(wait_until([&] { return world.notifier_pid() > 0; }));
    EXPECT_TRUE(stop(first));
    EXPECT_EQ(world.cli("list").exit_code, 0);
    std::filesystem::remove(first.dir + "/trace.txt");
    return first;
}

// The program that the notifier started for the call now talking.
int started_for_call(CallWorld& world)
{
    int pid = 0;
    if (world.notifier_pid() <= 0)
        return 0;
    wait_until([&] {
        auto const children = children_of(world.notifier_pid());
        pid = children.empty() ? 0 : children.front();
        return pid > 0;
    });
    return pid;
}

} // namespace

// The program not running: the notifier starts "ravelin call" for an answered call, which records it
// minimised (it draws nothing, so traces no screen) into "Incoming" and ends by itself with the call.
TEST(CallEndToEndTest, TheNotifierStartsTheProgramForACallAndItEndsWithTheCall)
{
    use_test_data();
    CallWorld world;
    auto const first = registered_and_closed(world);
    ASSERT_GT(world.notifier_pid(), 0);
    ASSERT_TRUE(world.phone("ring '+44 20 7946 0000'"));
    ASSERT_TRUE(world.phone("answer"));
    int const program = started_for_call(world);
    ASSERT_GT(program, 0);
    ASSERT_TRUE(wait_until([&] { return world.recordings("Incoming").size() == 1; }));
    EXPECT_TRUE(logged(first, "Starter:"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(alive(program));
    EXPECT_FALSE(testing_support::file_exists(first.dir + "/trace.txt")) << first.trace();
    ASSERT_TRUE(world.phone("hangup"));
    EXPECT_TRUE(wait_until([&] { return !alive(program); }));

    auto const incoming = world.recordings("Incoming");
    ASSERT_EQ(incoming.size(), 1u);
    EXPECT_TRUE(incoming[0].starts_with("Ann Lee ")) << incoming[0];
    EXPECT_GT(world.seconds(world.recording("Incoming", incoming[0])), 0.7);
    EXPECT_TRUE(has_photo(tag_of(world.recording("Incoming", incoming[0]))));
    std::string const log = first.log();
    EXPECT_NE(log.find("on_call_stop\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Application::~Application()"), std::string::npos) << log;
}

// Brought to the front during the call (started again from the menu, say), the program that the
// notifier started is the user's: the call's end stops the recording but not the program.
TEST(CallEndToEndTest, AProgramStartedForACallAndBroughtToTheFrontOutlivesTheCall)
{
    use_test_data();
    CallWorld world;
    auto const first = registered_and_closed(world);
    ASSERT_TRUE(world.phone("dial '555 0100'"));
    ASSERT_TRUE(world.phone("answer"));
    int const program = started_for_call(world);
    ASSERT_GT(program, 0);
    ASSERT_TRUE(wait_until([&] { return world.recordings("Outgoing").size() == 1; }));
    ASSERT_EQ(world.later(""), 0);
    // In front, it draws: the main screen shows the recording.
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormRecording"); })) << first.trace();
    ASSERT_TRUE(world.phone("hangup"));
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_TRUE(alive(program));
    EXPECT_EQ(world.recordings("Outgoing").size(), 1u);
    kill(program, SIGTERM);
    EXPECT_TRUE(wait_until([&] { return !alive(program); }));
}

// Inside the program: the contact store's messages reach the phone control through the window, and a
// program started for a call closes when the call ends, unless someone has tapped it meanwhile; started
// when the call is over already, it closes at once.
TEST(CallProgramTest, ContactChangesReachThePhoneAndATapKeepsTheProgramForTheUser)
{
    use_test_data();
    std::string const dir = testing_support::fresh_dir("call-program");
    ASSERT_EQ(run("sox -n -r 16000 -c 1 -b 16 " + dir + "/speech.wav synth 20 sine 300").exit_code, 0);
    setenv("RAVELIN_AUDIO_IN", ("file:" + dir + "/speech.wav").c_str(), 1);
    setenv("RAVELIN_CONTACTS", dir.c_str(), 1);
    platform::PhoneSimulator phone;
    std::string problem;
    testing_support::LogCapture log;
    for (uint32_t message : { 0x8100u, 0x8102u, 0x8105u, 0x8107u })
        EXPECT_TRUE(app::GameBase::is_contact_message(message)) << message;
    for (uint32_t message : { 0x80FFu, 0x8103u, 0x8104u, 0x8108u })
        EXPECT_FALSE(app::GameBase::is_contact_message(message)) << message;
    for (bool tapped : { false, true }) {
        ASSERT_TRUE(phone.ring(u"555 0100", u"", problem));
        ASSERT_TRUE(phone.answer(problem));
        {
            app::Program program(u"call");
            auto& application = program.application();
            auto& document = program.document();
            ASSERT_TRUE(document.is_call_recording());
            ASSERT_TRUE(pump(application, 3000, [&] { return program.starter().main_form() != nullptr; }));
            if (tapped) {
                testing_support::write_file(
                    dir + "/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nTEL:555 0100\r\nEND:VCARD\r\n");
                EXPECT_TRUE(pump(application, 3000, [&] { return log.contains("PIM_ITEM_CREATED_LOCAL = "); }));
                headless(application).pen_down(5, 5);
                headless(application).pen_up(5, 5);
                pump(application, 50);
                EXPECT_FALSE(document.started_for_call());
            }
            ASSERT_TRUE(phone.hangup(problem));
            bool const closed = pump(application, 2000, [&] { return !platform::is_window(application.window()); });
            EXPECT_EQ(closed, !tapped);
            EXPECT_FALSE(document.is_recording());
        }
        platform::Message m;
        while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE)) { }
    }
    // Started for a call that has ended before it came up: it closes at once.
    {
        app::Program program(u"call");
        EXPECT_FALSE(program.document().is_recording());
        EXPECT_TRUE(
            pump(program.application(), 2000, [&] { return !platform::is_window(program.application().window()); }));
    }
    platform::Message m;
    while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE)) { }
    setenv("RAVELIN_AUDIO_IN", "none", 1);
    unsetenv("RAVELIN_CONTACTS");
}
