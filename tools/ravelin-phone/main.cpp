// ravelin-phone: a phone for people and tests. Each command moves the simulated call one step and
// publishes the phone's state as a phone would; the publishing itself is platform::PhoneSimulator.
#include <cstdio>
#include <cstring>
#include <platform/phone/phone_simulator.h>
#include <platform/services/registry_store.h>
#include <platform/services/registry_watch.h>
#include <platform/text.h>
#include <string>
#include <vector>

namespace {

int usage(FILE* to)
{
    std::fputs("usage: ravelin-phone ring NUMBER [--name NAME]   a call comes in (NUMBER \"\" is withheld)\n"
               "       ravelin-phone dial NUMBER [--name NAME]   a call goes out\n"
               "       ravelin-phone answer                      the call talks (taken, or taken by the other end)\n"
               "       ravelin-phone hold                        a talking call is held, a held one resumed\n"
               "       ravelin-phone hangup                      the call ends\n"
               "       ravelin-phone state                       the published phone state\n"
               "       ravelin-phone serve                       carry out speakerphone requests as they come,\n"
               "                                                 until SIGINT or SIGTERM\n"
               "Every command first carries out a pending speakerphone request.\n",
        to);
    return to == stdout ? 0 : 2;
}

int fail(std::string const& message)
{
    std::fprintf(stderr, "ravelin-phone: %s\n", message.c_str());
    return 1;
}

char const* call_name(platform::SimulatedCall call)
{
    switch (call) {
    case platform::SimulatedCall::NONE:
        return "none";
    case platform::SimulatedCall::RINGING:
        return "ringing";
    case platform::SimulatedCall::DIALING:
        return "dialing";
    case platform::SimulatedCall::TALKING:
        return "talking";
    case platform::SimulatedCall::ON_HOLD:
        return "on hold";
    }
    return "none";
}

// The arguments of "ring" and "dial" after the command: a NUMBER and perhaps --name NAME.
bool call_arguments(std::vector<std::string> const& args, std::string& number, std::string& name, std::string& problem)
{
    bool have_number = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size()) {
            name = args[++i];
        } else if (args[i].starts_with("--") || have_number) {
            problem = "unexpected '" + args[i] + "'; see ravelin-phone --help";
            return false;
        } else {
            number = args[i];
            have_number = true;
        }
    }
    if (!have_number)
        problem = args[0] + " needs a NUMBER (\"\" for a withheld one)";
    return have_number;
}

void print_state(platform::PhoneSnapshot const& s)
{
    std::printf("Call=%s\nActive Call Count=%u\nStatus=0x%08X\nCaller Number=%s\nCaller Name=%s\nSpeaker=%d\n",
        call_name(s.call), s.active_call_count, s.status, platform::to_utf8(s.caller_number).c_str(),
        platform::to_utf8(s.caller_name).c_str(), s.speaker ? 1 : 0);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage(stderr);
    std::string const command = args[0];
    if (command == "--help" || command == "-h")
        return usage(stdout);
    auto& store = platform::RegistryStore::instance();
    if (!store.is_open())
        return fail("cannot open the registry store " + store.path());
    platform::PhoneSimulator phone(store);
    phone.carry_out_requests();

    std::string problem;
    bool ok = false;
    if (command == "ring" || command == "dial") {
        std::string number, name;
        if (!call_arguments(args, number, name, problem))
            return fail(problem);
        auto const wide_number = platform::from_utf8(number), wide_name = platform::from_utf8(name);
        ok = command == "ring" ? phone.ring(wide_number, wide_name, problem)
                               : phone.dial(wide_number, wide_name, problem);
    } else if (args.size() != 1) {
        return fail(command + " takes no arguments; see ravelin-phone --help");
    } else if (command == "answer") {
        ok = phone.answer(problem);
    } else if (command == "hold") {
        ok = phone.hold(problem);
    } else if (command == "hangup") {
        ok = phone.hangup(problem);
    } else if (command == "serve") {
        platform::watch_registry(store, [&] {
            if (phone.carry_out_requests()) {
                std::printf("Speaker=%d\n", phone.state().speaker ? 1 : 0);
                std::fflush(stdout);
            }
        });
        return 0;
    } else if (command == "state") {
        print_state(phone.state());
        return 0;
    } else {
        return usage(stderr);
    }
    if (!ok)
        return fail(problem);
    store.flush();
    return 0;
}
