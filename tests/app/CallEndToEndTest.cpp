#include "ProcessSupport.h"

#include <app/Program.h>
#include <app/Starter.h>
#include <document/Document.h>
#include <platform/phone/phone_simulator.h>
#include <sstream>

using namespace app_test;
using testing_support::run;

namespace {

std::vector<int> children_of(int pid)
{
    std::istringstream listed(run("ps -o pid= --ppid " + std::to_string(pid)).output);
    std::vector<int> pids;
    for (int child = 0; pid > 0 && listed >> child;)
        pids.push_back(child);
    return pids;
}

// One test's world of its own: registry store, home folders, runtime folder, an empty contacts folder
// (the caller's name and picture are the Document's tests'), and a microphone of 30 s of tone. The phone is
// ravelin-phone. Whatever was started in it (the notifier the program starts, and what the notifier starts) is ended
// with the world, also when an assertion failed.
class CallWorld {
public:
    CallWorld()
    {
        for (char const* sub : { "config", "data", "Documents", "run", "contacts" })
            std::filesystem::create_directories(dir_ + "/" + sub);
        EXPECT_EQ(cli("settings set Log 1").exit_code, 0);
    }
    ~CallWorld()
    {
        int const notifier = notifier_pid();
        for (int pid : children_of(notifier))
            kill(pid, SIGKILL);
        if (notifier > 0)
            kill(notifier, SIGKILL);
    }
    CallWorld(CallWorld const&) = delete;
    CallWorld& operator=(CallWorld const&) = delete;

    std::string environment() const
    {
        return "RAVELIN_REGISTRY=" + registry() + " HOME=" + dir_ + " XDG_CONFIG_HOME=" + dir_
            + "/config XDG_DATA_HOME=" + dir_ + "/data XDG_DOCUMENTS_DIR=" + dir_ + "/Documents RAVELIN_CONTACTS="
            + dir_ + "/contacts RAVELIN_CARDS= RAVELIN_DISPLAY=headless RAVELIN_AUDIO_IN=file:" + microphone_
            + " RAVELIN_AUDIO_OUT=none ";
    }
    std::string registry() const { return dir_ + "/config/registry.db"; }

    // The command line that starts one of the built programs in this world.
    std::string program(std::string const& name) const
    {
        return "env " + environment() + testing_support::bin_dir() + "/" + name;
    }
    testing_support::CommandResult cli(std::string const& arguments) const
    {
        return run(program("ravelin-cli ") + arguments);
    }
    bool phone(std::string const& arguments) const { return run(program("ravelin-phone ") + arguments).exit_code == 0; }
    // The notifier that holds the lock beside the registry store, 0 when none runs.
    int notifier_pid() const
    {
        int const pid = std::atoi(testing_support::read_file(registry() + "-notifier.lock").c_str());
        return testing_support::process_runs(pid) ? pid : 0;
    }
    // The recordings of incoming calls.
    std::vector<std::string> incoming() const
    {
        std::vector<std::string> paths = testing_support::names_in(dir_ + "/Documents/My Ravelin/Incoming");
        for (auto& name : paths)
            name = dir_ + "/Documents/My Ravelin/Incoming/" + name;
        return paths;
    }
    double seconds(std::string const& path) const { return recording_seconds(program("ravelin-cli"), path); }
    RavelinProcess start(std::string const& args) { return start_ravelin(dir_ + "/run", args, environment()); }

private:
    std::string dir_ = testing_support::fresh_dir("call-world");
    std::string microphone_ = testing_support::wav_file(testing_support::tone(30, 16000), 16000);
};

} // namespace

// "AutoRecord" on, the program started and closed again: it has registered the call notification and
// started the notifier, which goes on alone (a second one leaves at once). The command-line companion
// used afterwards renews the registration, which must still start the program. For an answered call the
// notifier starts "ravelin call", which records into "Incoming", and ends by itself with the call.
TEST(CallEndToEndTest, TheNotifierStartsTheProgramForACallAndItEndsWithTheCall)
{
    use_test_data();
    CallWorld world;
    ASSERT_EQ(world.cli("settings set AutoRecord 1").exit_code, 0);
    auto first = world.start("");
    ASSERT_TRUE(wait_until([&] { return shows(first, "FormMain"); })) << first.trace();
    ASSERT_TRUE(wait_until([&] { return world.notifier_pid() > 0; }));
    ASSERT_TRUE(stop(first));
    int const notifier = world.notifier_pid();
    ASSERT_GT(notifier, 0);
    EXPECT_EQ(run("timeout 10 " + world.program("ravelin-notifier")).exit_code, 0);
    EXPECT_EQ(world.notifier_pid(), notifier);
    EXPECT_EQ(world.cli("list").exit_code, 0);

    ASSERT_TRUE(world.phone("ring '+44 20 7946 0000'"));
    ASSERT_TRUE(world.phone("answer"));
    int program = 0;
    ASSERT_TRUE(wait_until([&] {
        auto const children = children_of(notifier);
        return (program = children.empty() ? 0 : children.front()) > 0;
    }));
    ASSERT_TRUE(wait_until([&] { return world.incoming().size() == 1; }));
    std::string const path = world.incoming().front();
    ASSERT_TRUE(wait_until([&] { return world.seconds(path) > 1.0; })) << "the recording does not grow";
    EXPECT_TRUE(testing_support::process_runs(program)) << "it ended before the call";
    ASSERT_TRUE(world.phone("hangup"));
    EXPECT_TRUE(wait_until([&] { return !testing_support::process_runs(program); }));

    for (char const* line : { "Starter:", "on_call_stop\n", "Application::~Application()" })
        EXPECT_NE(first.log().find(line), std::string::npos) << first.log();
}

// Inside the program: the contact store's messages reach the phone control through the window, and a
// program started for a call closes when the call ends, unless someone has used it meanwhile (a tap, or
// a later start that brought it to the front, though it went to the background again); started when
// the call is over already, it closes at once.
TEST(CallProgramTest, ContactChangesReachThePhoneAndAProgramUsedMeanwhileOutlivesTheCall)
{
    use_test_data();
    std::string const dir = testing_support::fresh_dir("call-program");
    setenv(
        "RAVELIN_AUDIO_IN", ("file:" + testing_support::wav_file(testing_support::tone(20, 16000), 16000)).c_str(), 1);
    setenv("RAVELIN_CONTACTS", dir.c_str(), 1);
    platform::PhoneSimulator phone;
    std::string problem;
    testing_support::LogCapture log;
    for (uint32_t message : { 0x8100u, 0x8102u, 0x8105u, 0x8107u })
        EXPECT_TRUE(app::GameBase::is_contact_message(message)) << message;
    for (uint32_t message : { 0x80FFu, 0x8103u, 0x8104u, 0x8108u })
        EXPECT_FALSE(app::GameBase::is_contact_message(message)) << message;
    enum class Use { NONE, TAP, LATER_START };
    for (Use use : { Use::NONE, Use::TAP, Use::LATER_START }) {
        ASSERT_TRUE(phone.ring(u"555 0100", u"", problem));
        ASSERT_TRUE(phone.answer(problem));
        {
            app::Program program(u"call");
            auto& application = program.application();
            auto& display = headless(application);
            // It records at once, minimised, and refuses to close while it records.
            ASSERT_TRUE(program.document().is_call_recording());
            EXPECT_TRUE(display.minimized() && !program.starter().can_close() && !program.starter().main_form());
            ASSERT_TRUE(pump(application, 3000, [&] { return program.starter().main_form() != nullptr; }));
            // The main screen, made after the recording began, shows it.
            pump(application, 100);
            EXPECT_EQ(application.form_stack().top()->id(), u"FormRecording");
            if (use == Use::TAP) {
                testing_support::write_file(
                    dir + "/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nTEL:555 0100\r\nEND:VCARD\r\n");
                EXPECT_TRUE(pump(application, 3000, [&] { return log.contains("PIM_ITEM_CREATED_LOCAL = "); }));
                display.pen_down(5, 5);
                display.pen_up(5, 5);
            } else if (use == Use::LATER_START) {
                ASSERT_TRUE(app::Application::show_running_instance(u"", u"Ravelin"));
                app::Application::release_startup_mutex();
                ASSERT_TRUE(pump(application, 2000, [&] { return display.restores() == 1; }));
                display.minimize();
            }
            pump(application, 50);
            EXPECT_EQ(program.document().started_for_call(), use == Use::NONE);
            ASSERT_TRUE(phone.hangup(problem));
            bool const closed = pump(application, 2000, [&] { return !platform::is_window(application.window()); });
            EXPECT_EQ(std::pair(closed, program.document().is_recording()), std::pair(use == Use::NONE, false));
        }
        testing_support::drain_messages();
    }
    // Started for a call that has ended before it came up: it closes at once.
    {
        app::Program program(u"call");
        EXPECT_FALSE(program.document().is_recording());
        EXPECT_TRUE(
            pump(program.application(), 2000, [&] { return !platform::is_window(program.application().window()); }));
    }
    testing_support::drain_messages();
    setenv("RAVELIN_AUDIO_IN", "none", 1);
    unsetenv("RAVELIN_CONTACTS");
}
