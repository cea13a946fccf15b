#pragma once

#include "notifications.h"
#include "registry_store.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The notifier service's work: it watches the registered application notifications and starts a
// registration's command line once each time its condition rises from false to true. A condition
// already true when the notifier first sees the registration is no rise. While the process started at
// the last rise still runs, a new rise starts nothing, so one call never starts the program twice.
//
// Threads: one thread (the service's main thread).
namespace platform {

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts the program argv[0] (an absolute path) with the rest as its arguments; an id above 0, or 0.
    virtual int64_t start(std::vector<std::string> const& argv) = 0;
    virtual bool running(int64_t id) = 0;
};

// The words of a command line: separated by spaces and tabs, double quotes group (and are dropped).
// None for an unterminated quote or an empty line.
std::optional<std::vector<std::string>> split_command_line(std::u16string const& command_line);

class Notifier {
public:
    Notifier(AppNotifications& notifications, RegistryStore& store, ProcessStarter& starter);

    // Looks at every registration once; starts what rose since the last look. Answers the number started.
    int check();

private:
    struct Seen {
        bool condition = false;
        int64_t process = 0;
    };
    bool condition_holds(NotificationCondition const& condition);

    AppNotifications& notifications_;
    RegistryStore& store_;
    ProcessStarter& starter_;
    std::map<std::u16string, Seen> seen_;
};

// Real processes (posix_spawn in a session of their own, no shell); running() reaps them.
class SpawnedProcesses final : public ProcessStarter {
public:
    int64_t start(std::vector<std::string> const& argv) override;
    bool running(int64_t id) override;
    // Reaps every started process that ended.
    void reap();

private:
    std::vector<int64_t> live_;
};

// Work that runs inside the notifier service beside the notifications: the phone publisher of a real
// phone. start() comes once the service holds its lock, with its signals already blocked (so threads it
// starts inherit that); registry_changed() on every change of the store; stop() before the service ends.
// All three on the service's main thread.
class ServiceCompanion {
public:
    virtual ~ServiceCompanion() = default;
    virtual void start() = 0;
    virtual void registry_changed() = 0;
    virtual void stop() = 0;
};

// Only a registry store that no other user could have written may make the notifier start programs: the
// store file and its log belong to the caller's user and are writable by nobody else.
bool registry_is_private(std::string const& path);

// Whether the service stays in the session of whoever started it or leaves it (and its terminal).
enum class NotifierSession { ATTACHED, DETACHED };

// The service: takes the lock beside the registry store (the file "<store>-notifier.lock", which then
// holds its process id; another notifier holding it ends this one at once, with 0), then checks on every
// change of the store until SIGTERM or SIGINT. A DETACHED service leaves the starter's session first. A
// companion, when given, runs for as long as the service watches. Messages go to standard error. Answers
// the exit code.
int run_notifier(NotifierSession session, ServiceCompanion* companion = nullptr);

} // namespace platform
