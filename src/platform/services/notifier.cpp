#include "notifier.h"

#include "registry_values.h"
#include "registry_watch.h"
#include <platform/text.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace platform {

std::optional<std::vector<std::string>> split_command_line(std::u16string const& command_line)
{
    std::vector<std::string> words;
    std::u16string word;
    bool quoted = false, in_word = false;
    for (char16_t c : command_line) {
        if (c == u'"') {
            quoted = !quoted;
            in_word = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (in_word)
                words.push_back(to_utf8(word));
            word.clear();
            in_word = false;
        } else if (c == 0) {
            return std::nullopt;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (in_word)
        words.push_back(to_utf8(word));
    if (words.empty())
        return std::nullopt;
    return words;
}

Notifier::Notifier(AppNotifications& notifications, RegistryStore& store, ProcessStarter& starter)
    : notifications_(notifications)
    , store_(store)
    , starter_(starter)
{
}

bool Notifier::condition_holds(NotificationCondition const& c)
{
    auto const value = read_dword(store_, c.root, c.key, c.value);
    return value && (*value & c.mask) == c.target;
}

int Notifier::check()
{
    int started = 0;
    std::map<std::u16string, Seen> now;
    for (auto const& n : notifications_.registered()) {
        bool const holds = condition_holds(n.condition);
        auto const before = seen_.find(n.name);
        Seen seen { holds, before != seen_.end() ? before->second.process : 0 };
        bool const rose = before != seen_.end() && !before->second.condition && holds;
        if (rose && (seen.process == 0 || !starter_.running(seen.process))) {
            auto const argv = split_command_line(n.command_line);
            if (!argv || !argv->front().starts_with("/")) {
                std::fprintf(stderr, "ravelin-notifier: %s: the command line names no program by its full path\n",
                    to_utf8(n.name).c_str());
            } else if (int64_t const id = starter_.start(*argv); id > 0) {
                seen.process = id;
                ++started;
            } else {
                std::fprintf(
                    stderr, "ravelin-notifier: %s: cannot start %s\n", to_utf8(n.name).c_str(), argv->front().c_str());
            }
        }
        now[n.name] = seen;
    }
    seen_ = std::move(now); // a removed registration is forgotten; registered again, it starts afresh
    return started;
}

int64_t SpawnedProcesses::start(std::vector<std::string> const& argv)
{
    struct stat st { };
    if (::stat(argv.front().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(argv.front().c_str(), X_OK) != 0)
        return 0;
    std::vector<char*> args;
    for (auto const& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t pid = 0;
    int const error = posix_spawn(&pid, args[0], nullptr, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        return 0;
    live_.push_back(pid);
    return pid;
}

bool SpawnedProcesses::running(int64_t id)
{
    reap();
    return std::find(live_.begin(), live_.end(), id) != live_.end();
}

void SpawnedProcesses::reap()
{
    std::erase_if(live_, [](int64_t pid) {
        int status = 0;
        return ::waitpid(static_cast<pid_t>(pid), &status, WNOHANG) != 0;
    });
}

bool registry_is_private(std::string const& path)
{
    for (auto const& file : { path, path + "-wal" }) {
        struct stat st { };
        if (::stat(file.c_str(), &st) != 0) {
            if (errno == ENOENT && file != path)
                continue;
            return false;
        }
        if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            return false;
    }
    return true;
}

namespace {

// The lock beside the store: -1 when another notifier holds it or it cannot be taken (`code` then says
// how the service ends), else its descriptor.
int take_lock(std::string const& store_path, std::string const& lock_path, int& code)
{
    int const lock = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) {
        std::fprintf(stderr, "ravelin-notifier: cannot open %s\n", lock_path.c_str());
        code = 1;
        return -1;
    }
    if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        std::fprintf(stderr, "ravelin-notifier: another notifier is running for %s\n", store_path.c_str());
        ::close(lock);
        code = 0;
        return -1;
    }
    return lock;
}

// The lock file names the notifier that holds it, for whoever wants to stop it.
void write_process_id(int lock, std::string const& lock_path)
{
    std::string const pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(lock, 0) != 0 || ::pwrite(lock, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
        std::fprintf(stderr, "ravelin-notifier: cannot write its process id to %s\n", lock_path.c_str());
}

// A service outlives whoever started it: it keeps none of its terminal or pipes open.
void leave_session()
{
    ::setsid();
    int const null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        for (int fd = 0; fd <= 2; ++fd)
            ::dup2(null, fd);
        ::close(null);
    }
}

// The watch takes these signals from a descriptor; a thread the companion starts must not take them first.
void start_companion(ServiceCompanion& companion)
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : { SIGTERM, SIGINT, SIGCHLD })
        sigaddset(&signals, s);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    companion.start();
}

// Checks the registrations on every change of the store until SIGTERM or SIGINT, unless the store may
// have been written by another user.
void watch_notifications(RegistryStore& store, AppNotifications& notifications, ServiceCompanion* companion)
{
    SpawnedProcesses processes;
    Notifier notifier(notifications, store, processes);
    bool warned = false, first = true;
    watch_registry(
        store,
        [&] {
            if (companion)
                companion->registry_changed();
            if (!registry_is_private(store.path())) {
                if (!std::exchange(warned, true))
                    std::fprintf(stderr, "ravelin-notifier: %s may be written by other users: nothing is started\n",
                        store.path().c_str());
                return;
            }
            warned = false;
            notifier.check();
            if (std::exchange(first, false))
                std::fprintf(stderr, "ravelin-notifier: watching %zu registrations in %s\n",
                    notifications.registered().size(), store.path().c_str());
        },
        [&] { processes.reap(); });
}

} // namespace

int run_notifier(NotifierSession session, ServiceCompanion* companion)
{
    RegistryStore& store = RegistryStore::instance();
    auto notifications = open_app_notifications(store);
    if (!notifications) {
        std::fprintf(stderr, "ravelin-notifier: cannot open the registry store %s\n", store.path().c_str());
        return 1;
    }
    std::string const lock_path = store.path() + "-notifier.lock";
    int code = 0;
    int const lock = take_lock(store.path(), lock_path, code);
    if (lock < 0)
        return code;
    if (session == NotifierSession::DETACHED)
        leave_session();
    write_process_id(lock, lock_path);
    if (companion)
        start_companion(*companion);
    watch_notifications(store, *notifications, companion);
    if (companion)
        companion->stop();
    ::close(lock);
    return 0;
}

} // namespace platform
