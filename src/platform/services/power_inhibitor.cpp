#include "power_inhibitor.h"

#include "bus_thread.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char WHO[] = "Ravelin";
constexpr char APP_ID[] = "ravelin";
constexpr char LOGIND[] = "org.freedesktop.login1";
constexpr char LOGIND_PATH[] = "/org/freedesktop/login1";
constexpr char LOGIND_MANAGER[] = "org.freedesktop.login1.Manager";
// The desktop's session manager (GNOME, Phosh): its own idle suspend and screen blanking heed only the
// inhibitors it holds, and logind lets a user's own suspend request pass over that user's inhibitors.
constexpr char SESSION_MANAGER[] = "org.gnome.SessionManager";
constexpr char SESSION_MANAGER_PATH[] = "/org/gnome/SessionManager";
constexpr uint32_t SESSION_SUSPEND = 4;
constexpr uint32_t SESSION_IDLE = 8;
constexpr char SCREEN_SAVER[] = "org.freedesktop.ScreenSaver";
constexpr char SCREEN_SAVER_PATH[] = "/org/freedesktop/ScreenSaver";

char const* why_text(Wakefulness::Reason reason)
{
    return reason == Wakefulness::Reason::RECORDING ? "Recording" : "Playing";
}

// A cookie that a session-bus service hands out for an inhibition and takes back to end it.
struct Cookie {
    bool held = false;
    uint32_t value = 0;
};

} // namespace

// Everything here lives on the bus thread.
struct PowerInhibitor::Holder {
    explicit Holder(Tell tell)
        : tell(std::move(tell))
    {
    }

    void apply(Wakefulness need);
    // logind's inhibitor: its descriptor, or -1.
    int take_logind(char const* what, Wakefulness::Reason reason);
    void close_fd(int& fd);
    void hold_session_manager(uint32_t flags, Wakefulness::Reason reason);
    void hold_screen_saver(bool on);
    bool session_call(char const* service, char const* path, char const* interface, char const* method,
        BusMessage& reply, BusError& error, std::function<int(sd_bus_message*)> const& append);

    Tell tell;
    int sleep_fd = -1;
    int idle_fd = -1;
    Wakefulness::Reason held_for = Wakefulness::Reason::NONE;
    bool logind_missing = false;
    Cookie session_manager;
    uint32_t session_flags = 0;
    bool session_manager_missing = false;
    Cookie screen_saver;
    bool screen_saver_missing = false;
    // Last: its thread runs the jobs still posted (the owner's last release) and ends before the state
    // they use goes.
    BusThread bus;
};

PowerInhibitor::PowerInhibitor(Tell tell)
    : holder_(std::make_unique<Holder>(std::move(tell)))
{
}

PowerInhibitor::~PowerInhibitor()
{
    hold({});
}

void PowerInhibitor::hold(Wakefulness need)
{
    if (need == asked_)
        return;
    asked_ = need;
    Holder* holder = holder_.get();
    holder->bus.post([holder, need] { holder->apply(need); });
}

void PowerInhibitor::Holder::apply(Wakefulness need)
{
    bool const awake = need.reason != Wakefulness::Reason::NONE;
    bool const screen = awake && need.screen;
    bool const new_reason = need.reason != held_for;
    if (!awake) {
        close_fd(sleep_fd);
    } else if (sleep_fd < 0 || new_reason) {
        // The new one is taken before the old one goes, so the system never stands unguarded between.
        int const fd = take_logind("sleep", need.reason);
        if (fd >= 0 || !new_reason) {
            close_fd(sleep_fd);
            sleep_fd = fd;
        }
    }
    if (!screen)
        close_fd(idle_fd);
    else if (idle_fd < 0)
        idle_fd = take_logind("idle", need.reason);
    hold_session_manager((awake ? SESSION_SUSPEND : 0) | (screen ? SESSION_IDLE : 0), need.reason);
    // The screen saver only where neither logind nor the session manager keeps the screen on.
    hold_screen_saver(screen && idle_fd < 0 && !(session_manager.held && (session_flags & SESSION_IDLE)));
    held_for = need.reason;
}

int PowerInhibitor::Holder::take_logind(char const* what, Wakefulness::Reason reason)
{
    if (logind_missing)
        return -1;
    std::string problem;
    sd_bus* system = bus.bus(BusThread::Bus::SYSTEM, problem);
    BusError error;
    BusMessage reply;
    int result = -1;
    if (system) {
        sd_bus_message* answer = nullptr;
        result = sd_bus_call_method(system, LOGIND, LOGIND_PATH, LOGIND_MANAGER, "Inhibit", error.get(), &answer,
            "ssss", what, WHO, why_text(reason), "block");
        reply.reset(answer);
        problem = error.text(result);
    }
    if (!system || (result < 0 && error.missing_service())) {
        logind_missing = true;
        tell("PowerInhibitor: no logind (" + problem + "): the system may suspend while recording or playing");
        return -1;
    }
    int fd = -1;
    if (result >= 0 && (result = sd_bus_message_read(reply.get(), "h", &fd)) >= 0)
        fd = fcntl(fd, F_DUPFD_CLOEXEC, 3); // the answer owns its descriptor; children never inherit ours
    if (result < 0 || fd < 0) {
        tell(std::string("PowerInhibitor: no ") + what + " inhibitor: " + problem);
        return -1;
    }
    tell(std::string("PowerInhibitor: ") + what + " inhibited (" + why_text(reason) + ")");
    return fd;
}

void PowerInhibitor::Holder::close_fd(int& fd)
{
    if (fd < 0)
        return;
    close(fd);
    tell(std::string("PowerInhibitor: ") + (&fd == &sleep_fd ? "sleep" : "idle") + " released");
    fd = -1;
}

bool PowerInhibitor::Holder::session_call(char const* service, char const* path, char const* interface,
    char const* method, BusMessage& reply, BusError& error, std::function<int(sd_bus_message*)> const& append)
{
    std::string problem;
    sd_bus* session = bus.bus(BusThread::Bus::SESSION, problem);
    if (!session)
        return false;
    sd_bus_message* call = nullptr;
    int result = sd_bus_message_new_method_call(session, &call, service, path, interface, method);
    BusMessage const message(call);
    if (result >= 0)
        result = append(call);
    sd_bus_message* answer = nullptr;
    if (result >= 0)
        result = sd_bus_call(session, call, 0, error.get(), &answer);
    reply.reset(answer);
    return result >= 0;
}

void PowerInhibitor::Holder::hold_session_manager(uint32_t flags, Wakefulness::Reason reason)
{
    if (session_manager_missing || (flags == session_flags && (flags == 0 || reason == held_for)))
        return;
    Cookie taken;
    if (flags != 0) {
        BusMessage reply;
        BusError error;
        bool const called = session_call(
            SESSION_MANAGER, SESSION_MANAGER_PATH, SESSION_MANAGER, "Inhibit", reply, error, [&](sd_bus_message* m) {
                return sd_bus_message_append(m, "susu", APP_ID, uint32_t { 0 }, why_text(reason), flags);
            });
        if (!called || sd_bus_message_read(reply.get(), "u", &taken.value) < 0) {
            // Most desktops have no such manager; logind and the screen saver stand for it there.
            session_manager_missing = true;
            return;
        }
        taken.held = true;
    }
    if (session_manager.held) {
        BusMessage reply;
        BusError error;
        session_call(SESSION_MANAGER, SESSION_MANAGER_PATH, SESSION_MANAGER, "Uninhibit", reply, error,
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", session_manager.value); });
    }
    session_manager = taken;
    session_flags = flags;
    tell(std::string("PowerInhibitor: session manager ")
        + (flags == 0                         ? "released"
                : (flags & SESSION_IDLE) != 0 ? "inhibits suspend and idle"
                                              : "inhibits suspend"));
}

void PowerInhibitor::Holder::hold_screen_saver(bool on)
{
    if (on == screen_saver.held || (on && screen_saver_missing))
        return;
    BusMessage reply;
    BusError error;
    if (!on) {
        session_call(SCREEN_SAVER, SCREEN_SAVER_PATH, SCREEN_SAVER, "UnInhibit", reply, error,
            [&](sd_bus_message* m) { return sd_bus_message_append(m, "u", screen_saver.value); });
        screen_saver = {};
        tell("PowerInhibitor: screen saver released");
        return;
    }
    bool const called = session_call(SCREEN_SAVER, SCREEN_SAVER_PATH, SCREEN_SAVER, "Inhibit", reply, error,
        [](sd_bus_message* m) { return sd_bus_message_append(m, "ss", WHO, why_text(Wakefulness::Reason::PLAYING)); });
    if (!called || sd_bus_message_read(reply.get(), "u", &screen_saver.value) < 0) {
        screen_saver_missing = true;
        tell("PowerInhibitor: no screen saver service: the screen may blank while playing");
        return;
    }
    screen_saver.held = true;
    tell("PowerInhibitor: screen saver inhibited");
}

} // namespace platform
