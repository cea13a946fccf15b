#include <TestSupport.h>
#include <platform/folder_watch.h>
#include <platform/phone/phone_devices.h>
#include <platform/phone/phone_simulator.h>
#include <platform/phone/phone_state.h>
#include <platform/phone/telephony_line.h>
#include <platform/text.h>

using namespace platform;

namespace {

std::string phone_command(std::string const& arguments)
{
    auto const result = testing_support::run(testing_support::bin_dir() + "/ravelin-phone " + arguments);
    return std::to_string(result.exit_code) + " " + result.output + result.error;
}

// A call's life through the command line: each step, and what the phone then publishes.
TEST(PhoneSimulator, PublishesACallsLifeAsAPhoneDoes)
{
    phone_command("hangup");
    // The command, its exit code, then the calls, the status and the line's first call as published.
    using Step = std::tuple<char const*, int, uint32_t, uint32_t, LineCallState>;
    Step const steps[] = { { "answer", 1, 0, 0, LineCallState::IDLE },
        { "ring '' --name 'No One'", 0, 1, STATUS_RINGING, LineCallState::OFFERING },
        { "dial 5550100", 1, 1, STATUS_RINGING, LineCallState::OFFERING },
        { "answer", 0, 1, STATUS_TALKING, LineCallState::CONNECTED },
        { "hold", 0, 1, STATUS_ON_HOLD, LineCallState::ON_HOLD },
        { "hold", 0, 1, STATUS_TALKING, LineCallState::CONNECTED }, { "hangup", 0, 0, 0, LineCallState::IDLE },
        { "hangup", 1, 0, 0, LineCallState::IDLE }, { "dial 5550100", 0, 1, STATUS_DIALING, LineCallState::DIALING },
        { "hangup extra", 1, 1, STATUS_DIALING, LineCallState::DIALING }, { "hangup", 0, 0, 0, LineCallState::IDLE } };
    PhoneSimulator phone;
    auto line = open_telephony_line();
    for (auto const& [command, exit_code, count, status, first_call] : steps) {
        EXPECT_EQ(phone_command(command).substr(0, 2), std::to_string(exit_code) + " ") << command;
        auto const state = phone.state();
        auto const calls = line->calls(0);
        EXPECT_EQ(
            std::tuple(state.active_call_count, state.status, calls.empty() ? LineCallState::IDLE : calls[0].state),
            std::tuple(count, status, first_call))
            << command;
    }
    EXPECT_EQ(line->line_names(), std::vector<std::u16string> { CELLULAR_LINE });
    EXPECT_NE(phone_command("ring 5550100 --name Bo").find("0 "), std::string::npos);
    EXPECT_NE(phone_command("state").find("Caller Name=Bo\n"), std::string::npos);
    phone_command("hangup");
}

TEST(PhoneSimulator, ServeCarriesOutSpeakerRequests)
{
    PhoneSimulator phone;
    std::string problem;
    phone.hangup(problem);
    auto devices = open_phone_devices();
    ASSERT_TRUE(devices && devices->device_count() == 1);
    std::string const dir = testing_support::fresh_dir("serve");
    struct Service {
        std::string pid;
        ~Service() { testing_support::run("kill " + pid); }
    } service;
    auto const started
        = testing_support::run(testing_support::bin_dir() + "/ravelin-phone serve >" + dir + "/out.txt 2>&1 & echo $!");
    service.pid = started.output.substr(0, started.output.find('\n'));
    // Requests are carried out at its start and, while it serves, as they come.
    FolderWatch watch(from_utf8(std::filesystem::path(RegistryStore::instance().path()).parent_path().string()));
    for (bool on : { true, false, true }) {
        ASSERT_TRUE(devices->set_speaker(0, on));
        for (int i = 0; i < 100 && phone.state().speaker != on; ++i)
            watch.wait(100);
        EXPECT_EQ(phone.state().speaker, on);
    }
    // The service publishes the state before it prints the line.
    EXPECT_TRUE(testing_support::wait_until([&] {
        return testing_support::read_file(dir + "/out.txt").find("Speaker=0\nSpeaker=1\n") != std::string::npos;
    })) << testing_support::read_file(dir + "/out.txt");
}

} // namespace
