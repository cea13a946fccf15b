#include "desktop_notification.h"

#include "bus_thread.h"

#include <algorithm>
#include <platform/text.h>

namespace platform {

namespace {

constexpr char SERVER[] = "org.freedesktop.Notifications";
constexpr char SERVER_PATH[] = "/org/freedesktop/Notifications";
// A notification that stays until it is closed.
constexpr int32_t NEVER_EXPIRES = 0;
constexpr uintptr_t CLOSED_BIT = 1;
constexpr unsigned ACTION_SHIFT = 8;

} // namespace

// Everything here but the constants lives on the bus thread.
struct DesktopNotification::Shower {
    Shower(uint32_t thread_id, uint32_t message, std::string app_name, std::string desktop_entry, Tell tell)
        : thread_id(thread_id)
        , message(message)
        , app_name(std::move(app_name))
        , desktop_entry(std::move(desktop_entry))
        , tell(std::move(tell))
    {
    }

    void show(uint32_t shown, std::string const& summary, std::string const& body, std::vector<Action> const& actions);
    void close();
    // The bus with our signals watched; null when there is none.
    sd_bus* session();
    bool notify(sd_bus* bus, std::string const& summary, std::string const& body, std::vector<Action> const& actions,
        BusError& error, uint32_t& new_id);
    void post(uintptr_t what) const { post_thread_message(thread_id, message, what, static_cast<intptr_t>(shown)); }
    static int on_action(sd_bus_message* signal, void* self, sd_bus_error*);
    static int on_closed(sd_bus_message* signal, void* self, sd_bus_error*);

    uint32_t const thread_id;
    uint32_t const message;
    std::string const app_name;
    std::string const desktop_entry;
    Tell const tell;
    uint32_t id = 0; // the server's id of the notification shown, 0 for none
    uint32_t shown = 0; // the owner's count of the show() that made it
    std::vector<std::string> keys;
    bool missing_told = false;
    // Last: its thread ends before the state that its jobs and signals use goes.
    BusThread bus;
};

DesktopNotification::DesktopNotification(
    uint32_t thread_id, uint32_t message, std::string app_name, std::string desktop_entry, Tell tell)
    : message_(message)
    , shower_(
          std::make_unique<Shower>(thread_id, message, std::move(app_name), std::move(desktop_entry), std::move(tell)))
{
}

DesktopNotification::~DesktopNotification()
{
    close();
}

void DesktopNotification::show(std::u16string const& summary, std::u16string const& body, std::vector<Action> actions)
{
    uint32_t const shown = ++shown_count_;
    Shower* shower = shower_.get();
    shower->bus.post([shower, shown, summary = to_utf8(summary), body = to_utf8(body), actions = std::move(actions)] {
        shower->show(shown, summary, body, actions);
    });
}

void DesktopNotification::close()
{
    ++shown_count_;
    Shower* shower = shower_.get();
    shower->bus.post([shower] { shower->close(); });
}

std::optional<DesktopNotification::Event> DesktopNotification::event(Message const& message) const
{
    if (message.message != message_ || static_cast<uint32_t>(message.lparam) != shown_count_)
        return std::nullopt;
    Event event;
    event.kind = (message.wparam & CLOSED_BIT) != 0 ? Event::Kind::CLOSED : Event::Kind::ACTION;
    event.action = message.wparam >> ACTION_SHIFT;
    return event;
}

sd_bus* DesktopNotification::Shower::session()
{
    std::string problem;
    bool fresh = false;
    sd_bus* session = bus.bus(BusThread::Bus::SESSION, problem, &fresh);
    if (!session) {
        if (!missing_told)
            tell("DesktopNotification: " + problem);
        missing_told = true;
        return nullptr;
    }
    if (fresh) {
        // Floating matches: they go with the connection. The sender is left open: signals carry the
        // server's unique name, not the well-known one.
        sd_bus_match_signal(session, nullptr, nullptr, SERVER_PATH, SERVER, "ActionInvoked", on_action, this);
        sd_bus_match_signal(session, nullptr, nullptr, SERVER_PATH, SERVER, "NotificationClosed", on_closed, this);
    }
    return session;
}

bool DesktopNotification::Shower::notify(sd_bus* session, std::string const& summary, std::string const& body,
    std::vector<Action> const& actions, BusError& error, uint32_t& new_id)
{
    sd_bus_message* call = nullptr;
    int result = sd_bus_message_new_method_call(session, &call, SERVER, SERVER_PATH, SERVER, "Notify");
    BusMessage const message(call);
    if (result >= 0)
        result = sd_bus_message_append(
            call, "susss", app_name.c_str(), id, desktop_entry.c_str(), summary.c_str(), body.c_str());
    if (result >= 0)
        result = sd_bus_message_open_container(call, 'a', "s");
    for (auto const& action : actions)
        if (result >= 0)
            result = sd_bus_message_append(call, "ss", action.key.c_str(), to_utf8(action.label).c_str());
    if (result >= 0)
        result = sd_bus_message_close_container(call);
    if (result >= 0)
        result = sd_bus_message_append(call, "a{sv}i", 1, "desktop-entry", "s", desktop_entry.c_str(), NEVER_EXPIRES);
    sd_bus_message* answer = nullptr;
    if (result >= 0)
        result = sd_bus_call(session, call, 0, error.get(), &answer);
    BusMessage const reply(answer);
    if (result >= 0)
        result = sd_bus_message_read(answer, "u", &new_id);
    if (result < 0 && !error.missing_service())
        tell("DesktopNotification: not shown: " + error.text(result));
    return result >= 0;
}

void DesktopNotification::Shower::show(
    uint32_t shown_by, std::string const& summary, std::string const& body, std::vector<Action> const& actions)
{
    sd_bus* bus_now = session();
    if (!bus_now)
        return;
    BusError error;
    uint32_t new_id = 0;
    if (!notify(bus_now, summary, body, actions, error, new_id)) {
        if (error.missing_service() && !missing_told)
            tell("DesktopNotification: no notification server (" + error.text(0) + ")");
        missing_told = missing_told || error.missing_service();
        id = 0;
        return;
    }
    id = new_id;
    shown = shown_by;
    keys.clear();
    for (auto const& action : actions)
        keys.push_back(action.key);
}

void DesktopNotification::Shower::close()
{
    if (id == 0)
        return;
    std::string problem;
    if (sd_bus* session = bus.bus(BusThread::Bus::SESSION, problem)) {
        BusError error;
        sd_bus_call_method(session, SERVER, SERVER_PATH, SERVER, "CloseNotification", error.get(), nullptr, "u", id);
    }
    id = 0;
}

int DesktopNotification::Shower::on_action(sd_bus_message* signal, void* self, sd_bus_error*)
{
    auto* shower = static_cast<Shower*>(self);
    uint32_t id = 0;
    char const* key = nullptr;
    if (sd_bus_message_read(signal, "us", &id, &key) < 0 || id == 0 || id != shower->id)
        return 0;
    auto const found = std::find(shower->keys.begin(), shower->keys.end(), key);
    if (found != shower->keys.end())
        shower->post(static_cast<uintptr_t>(found - shower->keys.begin()) << ACTION_SHIFT);
    return 0;
}

int DesktopNotification::Shower::on_closed(sd_bus_message* signal, void* self, sd_bus_error*)
{
    auto* shower = static_cast<Shower*>(self);
    uint32_t id = 0;
    if (sd_bus_message_read(signal, "u", &id) < 0 || id == 0 || id != shower->id)
        return 0;
    shower->id = 0;
    shower->post(CLOSED_BIT);
    return 0;
}

} // namespace platform
