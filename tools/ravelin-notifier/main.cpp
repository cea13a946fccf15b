// ravelin-notifier: the user service that starts the command lines of registered application
// notifications (such as Ravelin's "Ravelin.Call") when their condition rises, and on a Linux phone
// publishes the calls of ModemManager and switches the speaker through callaudiod.
#include <cstdio>
#include <platform/phone/dbus/phone_service.h>
#include <platform/services/notifier.h>
#include <string>

int main(int argc, char** argv)
{
    auto session = platform::NotifierSession::ATTACHED;
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--detach") {
            session = platform::NotifierSession::DETACHED;
        } else if (arg == "--help" || arg == "-h") {
            std::puts("usage: ravelin-notifier [--detach]\n"
                      "Watches the registered notifications in the registry store ($RAVELIN_REGISTRY) and starts\n"
                      "each one's command line, without a shell, once each time its condition becomes true.\n"
                      "On a phone it also publishes ModemManager's calls and carries out speakerphone requests\n"
                      "through callaudiod. --detach leaves the starting program's session. Ends on SIGTERM or\n"
                      "SIGINT.");
            return 0;
        } else {
            std::fprintf(stderr, "ravelin-notifier: unknown argument '%s'; see --help\n", arg.c_str());
            return 2;
        }
    }
    platform::PhoneService phone;
    return platform::run_notifier(session, &phone);
}
