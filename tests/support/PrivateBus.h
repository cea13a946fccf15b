#pragma once

// A session bus of a test's (or a benchmark's) own, and the Evolution Data Server's programs to start on
// it. POSIX only: a program that measures what GLib costs must not load it for this.
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace private_bus {

// The address-book services, in the order they must start (the factory would start a registry of its
// own), with the names they take on the bus.
struct Service {
    char const* program;
    char const* bus_name;
};
inline constexpr Service SOURCE_REGISTRY { "/usr/libexec/evolution-source-registry",
    "org.gnome.evolution.dataserver.Sources5" };
inline constexpr Service ADDRESS_BOOK { "/usr/libexec/evolution-addressbook-factory",
    "org.gnome.evolution.dataserver.AddressBook10" };

// The configuration of a session bus that can start no service (it takes its name from its argument).
inline std::string const QUIET_BUS_CONFIG
    = "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><policy context=\"default\">"
      "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
      "</policy></busconfig>";

// Starts `words` (a full path first) with this environment, its standard output on `out` when given; its
// process id, -1 when it cannot start.
inline pid_t spawn(std::vector<std::string> const& words, int out = -1)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    std::vector<char*> argv;
    for (auto const& word : words)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

inline void stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

// A session bus of our own, started with `config` ("--session" for the standard one, or
// "--config-file=PATH"); its address, or empty with the reason in `why`.
inline std::string start_bus(std::string const& config, pid_t& pid, std::string& why)
{
    if (access("/usr/bin/dbus-daemon", X_OK) != 0) {
        why = "dbus-daemon is not installed";
        return {};
    }
    int ends[2];
    if (pipe(ends) != 0) {
        why = "no pipe";
        return {};
    }
    pid = spawn({ "/usr/bin/dbus-daemon", config, "--nofork", "--print-address=1" }, ends[1]);
    close(ends[1]);
    std::string address;
    char c;
    while (pid > 0 && read(ends[0], &c, 1) == 1 && c != '\n')
        address += c;
    close(ends[0]);
    if (address.empty())
        why = "dbus-daemon " + config + " printed no address";
    return address;
}

} // namespace private_bus
