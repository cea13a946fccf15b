#include "modem_manager.h"

#include <platform/text.h>

#include <algorithm>
#include <cstdio>
#include <libmm-glib.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace platform {

CallStage call_stage(int mm_state, int mm_direction)
{
    switch (mm_state) {
    case MM_CALL_STATE_UNKNOWN:
        return mm_direction == MM_CALL_DIRECTION_INCOMING ? CallStage::RINGING : CallStage::DIALING;
    case MM_CALL_STATE_DIALING:
    case MM_CALL_STATE_RINGING_OUT:
        return CallStage::DIALING;
    case MM_CALL_STATE_RINGING_IN:
    case MM_CALL_STATE_WAITING:
        return CallStage::RINGING;
    case MM_CALL_STATE_ACTIVE:
        return CallStage::TALKING;
    case MM_CALL_STATE_HELD:
        return CallStage::ON_HOLD;
    default: // terminated, or a state this build does not know
        return CallStage::NONE;
    }
}

LineCallDirection call_direction(int mm_direction)
{
    switch (mm_direction) {
    case MM_CALL_DIRECTION_INCOMING:
        return LineCallDirection::INCOMING;
    case MM_CALL_DIRECTION_OUTGOING:
        return LineCallDirection::OUTGOING;
    default:
        return LineCallDirection::UNKNOWN;
    }
}

namespace {

constexpr char CALL_INTERFACE[] = "org.freedesktop.ModemManager1.Call";

void log_error(char const* what, GError* error)
{
    if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
        std::fprintf(stderr, "ravelin-notifier: %s: %s\n", what, error->message);
}

} // namespace

struct ModemCalls::Impl {
    struct Call {
        Impl* owner = nullptr;
        std::string modem;
        MMCall* proxy = nullptr;
        int state = MM_CALL_STATE_UNKNOWN, direction = MM_CALL_DIRECTION_UNKNOWN;
        std::u16string number, name;
        uint64_t order = 0;
        ~Call()
        {
            g_signal_handlers_disconnect_by_data(proxy, this);
            g_object_unref(proxy);
        }
    };
    struct Modem {
        Impl* owner = nullptr;
        std::string path;
        MMModemVoice* voice = nullptr;
        std::set<std::string> pending; // calls whose proxies are being made
        ~Modem()
        {
            g_signal_handlers_disconnect_by_data(voice, this);
            g_object_unref(voice);
        }
    };
    // What an asynchronous reply needs; `alive` is gone once the watcher is, or ModemManager left.
    struct Reply {
        std::weak_ptr<int> alive;
        Impl* owner;
        std::string modem, path;
    };

    Listener listener;
    guint watch = 0;
    std::shared_ptr<int> alive;
    GCancellable* cancellable = nullptr;
    MMManager* manager = nullptr;
    std::map<std::string, std::unique_ptr<Modem>> modems;
    std::map<std::string, std::unique_ptr<Call>> calls;
    bool present = false, reported = false;
    uint64_t next_order = 0;

    void appeared(GDBusConnection* connection)
    {
        forget();
        alive = std::make_shared<int>();
        cancellable = g_cancellable_new();
        mm_manager_new(connection, G_DBUS_OBJECT_MANAGER_CLIENT_FLAGS_DO_NOT_AUTO_START, cancellable, manager_ready,
            new Reply { alive, this, {}, {} });
    }

    static void manager_ready(GObject*, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<Reply> reply(static_cast<Reply*>(data));
        GError* error = nullptr;
        MMManager* manager = mm_manager_new_finish(result, &error);
        if (reply->alive.expired()) {
            if (manager)
                g_object_unref(manager);
            if (error)
                g_error_free(error);
            return;
        }
        Impl* self = reply->owner;
        if (!manager) {
            log_error("cannot follow ModemManager", error);
            g_error_free(error);
            return;
        }
        self->manager = manager;
        std::fprintf(stderr, "ravelin-notifier: following the calls of ModemManager\n");
        g_signal_connect(manager, "object-added", G_CALLBACK(object_changed), self);
        g_signal_connect(manager, "object-removed", G_CALLBACK(object_removed), self);
        g_signal_connect(manager, "interface-added", G_CALLBACK(interface_changed), self);
        g_signal_connect(manager, "interface-removed", G_CALLBACK(interface_changed), self);
        GList* objects = g_dbus_object_manager_get_objects(G_DBUS_OBJECT_MANAGER(manager));
        for (GList* o = objects; o; o = o->next)
            self->update_object(G_DBUS_OBJECT(o->data));
        g_list_free_full(objects, g_object_unref);
        self->present = true;
        self->report();
    }

    static void object_changed(GDBusObjectManager*, GDBusObject* object, gpointer data)
    {
        static_cast<Impl*>(data)->update_object(object);
        static_cast<Impl*>(data)->report();
    }
    static void interface_changed(GDBusObjectManager*, GDBusObject* object, GDBusInterface*, gpointer data)
    {
        object_changed(nullptr, object, data);
    }
    static void object_removed(GDBusObjectManager*, GDBusObject* object, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        self->remove_modem(g_dbus_object_get_object_path(object));
        self->report();
    }

    // A modem counts while its object has the Voice interface.
    void update_object(GDBusObject* object)
    {
        std::string const path = g_dbus_object_get_object_path(object);
        MMModemVoice* voice = MM_IS_OBJECT(object) ? mm_object_get_modem_voice(MM_OBJECT(object)) : nullptr;
        if (!voice) {
            remove_modem(path);
            return;
        }
        if (modems.contains(path)) {
            g_object_unref(voice);
            return;
        }
        auto modem = std::make_unique<Modem>();
        modem->voice = voice;
        modem->owner = this;
        modem->path = path;
        g_signal_connect(voice, "call-added", G_CALLBACK(call_added), modem.get());
        g_signal_connect(voice, "call-deleted", G_CALLBACK(call_deleted), modem.get());
        Modem& m = *modem;
        modems[path] = std::move(modem);
        gchar** paths = mm_gdbus_modem_voice_dup_calls(MM_GDBUS_MODEM_VOICE(voice));
        for (gchar** p = paths; p && *p; ++p)
            add_call(m, *p);
        g_strfreev(paths);
    }

    void remove_modem(std::string const& path)
    {
        if (modems.erase(path) == 0)
            return;
        std::erase_if(calls, [&](auto const& c) { return c.second->modem == path; });
    }

    static void call_added(MMModemVoice*, gchar const* path, gpointer data)
    {
        auto* modem = static_cast<Modem*>(data);
        modem->owner->add_call(*modem, path);
        modem->owner->report();
    }
    static void call_deleted(MMModemVoice*, gchar const* path, gpointer data)
    {
        auto* modem = static_cast<Modem*>(data);
        modem->pending.erase(path);
        modem->owner->calls.erase(path);
        modem->owner->report();
    }

    void add_call(Modem& modem, std::string const& path)
    {
        if (calls.contains(path) || !modem.pending.insert(path).second)
            return;
        GDBusConnection* connection
            = g_dbus_object_manager_client_get_connection(G_DBUS_OBJECT_MANAGER_CLIENT(manager));
        g_async_initable_new_async(MM_TYPE_CALL, G_PRIORITY_DEFAULT, cancellable, call_ready,
            new Reply { alive, this, modem.path, path }, "g-flags", G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START, "g-name",
            MM_DBUS_SERVICE, "g-connection", connection, "g-object-path", path.c_str(), "g-interface-name",
            CALL_INTERFACE, nullptr);
    }

    static void call_ready(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<Reply> reply(static_cast<Reply*>(data));
        GError* error = nullptr;
        GObject* object = g_async_initable_new_finish(G_ASYNC_INITABLE(source), result, &error);
        Impl* self = reply->alive.expired() ? nullptr : reply->owner;
        auto const modem = self ? self->modems.find(reply->modem) : decltype(self->modems)::iterator {};
        // Only a call its modem still lists is taken: one deleted meanwhile is gone.
        bool const wanted = self && modem != self->modems.end() && modem->second->pending.erase(reply->path) > 0;
        if (!object) {
            if (self)
                log_error("cannot read a call", error);
            g_error_free(error);
            if (wanted)
                self->report();
            return;
        }
        if (!wanted) {
            g_object_unref(object);
            return;
        }
        auto call = std::make_unique<Call>();
        call->owner = self;
        call->modem = reply->modem;
        call->proxy = MM_CALL(object);
        call->state = mm_call_get_state(call->proxy);
        call->direction = mm_call_get_direction(call->proxy);
        call->order = self->next_order++;
        call->number = from_utf8(mm_call_get_number(call->proxy) ? mm_call_get_number(call->proxy) : "");
        call->name = contact_name(call->number);
        g_signal_connect(call->proxy, "state-changed", G_CALLBACK(state_changed), call.get());
        g_signal_connect(call->proxy, "notify::number", G_CALLBACK(number_changed), call.get());
        g_signal_connect(call->proxy, "notify::direction", G_CALLBACK(direction_changed), call.get());
        self->calls[reply->path] = std::move(call);
        self->report();
    }

    // The signal carries the new state; the cached property may not have caught up yet.
    static void state_changed(MMCall*, gint, gint state, guint, gpointer data)
    {
        auto* call = static_cast<Call*>(data);
        call->state = state;
        call->owner->report();
    }
    static void number_changed(MMCall* proxy, GParamSpec*, gpointer data)
    {
        auto* call = static_cast<Call*>(data);
        auto const number = from_utf8(mm_call_get_number(proxy) ? mm_call_get_number(proxy) : "");
        if (number == call->number)
            return;
        call->number = number;
        call->name = contact_name(number);
        call->owner->report();
    }
    static void direction_changed(MMCall* proxy, GParamSpec*, gpointer data)
    {
        auto* call = static_cast<Call*>(data);
        call->direction = mm_call_get_direction(proxy);
        call->owner->report();
    }

    // While the calls that were there when ModemManager came are still being read, nothing is reported,
    // so that a call in progress does not seem to end and start again.
    void report()
    {
        if (!present)
            return;
        if (!reported)
            for (auto const& m : modems)
                if (!m.second->pending.empty())
                    return;
        reported = true;
        std::vector<Call const*> ordered;
        for (auto const& c : calls)
            ordered.push_back(c.second.get());
        std::sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) { return a->order < b->order; });
        std::vector<PhoneCall> list;
        for (auto const* c : ordered)
            list.push_back({ call_stage(c->state, c->direction), call_direction(c->direction), c->number, c->name });
        listener(true, list);
    }

    // Drops everything learnt from ModemManager and what is still being asked of it.
    void forget()
    {
        calls.clear();
        modems.clear();
        if (manager) {
            g_signal_handlers_disconnect_by_data(manager, this);
            g_clear_object(&manager);
        }
        if (cancellable) {
            g_cancellable_cancel(cancellable);
            g_clear_object(&cancellable);
        }
        alive.reset();
    }

    static void name_appeared(GDBusConnection* connection, gchar const*, gchar const*, gpointer data)
    {
        static_cast<Impl*>(data)->appeared(connection);
    }
    static void name_vanished(GDBusConnection*, gchar const*, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        bool const was = std::exchange(self->present, false);
        self->reported = false;
        self->forget();
        if (was) {
            std::fprintf(stderr, "ravelin-notifier: ModemManager left the system bus\n");
            self->listener(false, {});
        }
    }
};

ModemCalls::ModemCalls(Listener listener)
    : impl_(std::make_unique<Impl>())
{
    impl_->listener = std::move(listener);
    impl_->watch = g_bus_watch_name(G_BUS_TYPE_SYSTEM, MM_DBUS_SERVICE, G_BUS_NAME_WATCHER_FLAGS_NONE,
        Impl::name_appeared, Impl::name_vanished, impl_.get(), nullptr);
}

ModemCalls::~ModemCalls()
{
    g_bus_unwatch_name(impl_->watch);
    impl_->forget();
}

bool ModemCalls::present() const
{
    return impl_->present;
}

} // namespace platform
