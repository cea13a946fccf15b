// ravelin-keys: the user service that publishes the input devices' assignable buttons into the button
// table of the registry store and runs a button's bound command, without a shell, once per press.
#include "EvdevSource.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <platform/services/key_service.h>
#include <platform/services/registry_store.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::puts("usage: ravelin-keys\n"
                      "Publishes the assignable buttons of the input devices (/dev/input, readable by the \"input\"\n"
                      "group) into the button table of the registry store ($RAVELIN_REGISTRY) and runs a button's\n"
                      "bound command, without a shell, once per press. Ends on SIGTERM or SIGINT.");
            return 0;
        }
        std::fprintf(stderr, "ravelin-keys: unknown argument '%s'; see --help\n", arg.c_str());
        return 2;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, nullptr);

    auto& store = platform::RegistryStore::instance();
    if (!store.is_open()) {
        std::fprintf(stderr, "ravelin-keys: cannot open the registry store %s\n", store.path().c_str());
        return 1;
    }
    // One service per store, or every press would run its command twice.
    std::string const lock_path = store.path() + "-keys.lock";
    int const lock = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "ravelin-keys: another ravelin-keys is running for %s\n", store.path().c_str());
        return 0;
    }
    EvdevSource source;
    if (source.folder_missing() && !source.lacks_access())
        std::fprintf(stderr, "ravelin-keys: no /dev/input on this machine: no buttons are published\n");
    else if (source.lacks_access())
        std::fprintf(stderr,
            "ravelin-keys: no read access to /dev/input (the user is not in the \"input\" group): "
            "no buttons are published\n");
    platform::SpawnedProcesses processes;
    platform::KeyService service(store, processes);
    int const result = service.run(source);
    processes.reap();
    ::close(lock);
    return result;
}
