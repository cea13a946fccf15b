#include "call_audio.h"

#include <cstdio>
#include <gio/gio.h>
#include <string>
#include <utility>

namespace platform {

namespace {

constexpr char NAME[] = "org.mobian_project.CallAudio";
constexpr char PATH[] = "/org/mobian_project/CallAudio";
constexpr char INTERFACE[] = "org.mobian_project.CallAudio";
constexpr guint32 SPEAKER_ON = 1, SPEAKER_OFF = 0; // callaudiod's CallAudioSpeakerState; 255 is unknown
constexpr int CALL_TIMEOUT_MS = 10000;

} // namespace

struct CallAudio::Impl {
    Listener listener;
    guint watch = 0;
    GCancellable* cancellable = nullptr;
    GDBusProxy* proxy = nullptr;

    void tell_state()
    {
        GVariant* value = g_dbus_proxy_get_cached_property(proxy, "SpeakerState");
        if (!value)
            return;
        guint32 state = 255;
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
            state = g_variant_get_uint32(value);
        else if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32))
            state = static_cast<guint32>(g_variant_get_int32(value));
        g_variant_unref(value);
        if (state == SPEAKER_ON || state == SPEAKER_OFF)
            listener(state == SPEAKER_ON);
    }

    static void properties_changed(GDBusProxy*, GVariant* changed, GStrv, gpointer data)
    {
        GVariant* state = g_variant_lookup_value(changed, "SpeakerState", nullptr);
        if (!state)
            return;
        g_variant_unref(state);
        static_cast<Impl*>(data)->tell_state();
    }

    static void proxy_ready(GObject*, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        GDBusProxy* proxy = g_dbus_proxy_new_finish(result, &error);
        if (!proxy) {
            // Cancelled means the watcher is gone or callaudiod left: `data` may be stale.
            if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
                std::fprintf(stderr, "ravelin-notifier: cannot reach callaudiod: %s\n", error->message);
            g_error_free(error);
            return;
        }
        auto* self = static_cast<Impl*>(data);
        self->proxy = proxy;
        g_signal_connect(proxy, "g-properties-changed", G_CALLBACK(properties_changed), self);
        std::fprintf(stderr, "ravelin-notifier: the speakerphone is switched through callaudiod\n");
        self->tell_state();
    }

    static void name_appeared(GDBusConnection* connection, gchar const*, gchar const* owner, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        self->forget();
        self->cancellable = g_cancellable_new();
        // The unique owner, not the well-known name: calls go to the callaudiod that was seen.
        g_dbus_proxy_new(connection, G_DBUS_PROXY_FLAGS_DO_NOT_AUTO_START, nullptr, owner, PATH, INTERFACE,
            self->cancellable, proxy_ready, self);
    }
    static void name_vanished(GDBusConnection*, gchar const*, gpointer data)
    {
        auto* self = static_cast<Impl*>(data);
        if (self->proxy)
            std::fprintf(stderr, "ravelin-notifier: callaudiod left the session bus\n");
        self->forget();
    }

    void forget()
    {
        if (cancellable) {
            g_cancellable_cancel(cancellable);
            g_clear_object(&cancellable);
        }
        if (proxy) {
            g_signal_handlers_disconnect_by_data(proxy, this);
            g_clear_object(&proxy);
        }
    }

    static void enabled(GObject* source, GAsyncResult* result, gpointer data)
    {
        bool const on = GPOINTER_TO_INT(data) != 0;
        GError* error = nullptr;
        GVariant* reply = g_dbus_proxy_call_finish(G_DBUS_PROXY(source), result, &error);
        if (!reply) {
            if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
                std::fprintf(stderr, "ravelin-notifier: callaudiod could not switch the speaker %s: %s\n",
                    on ? "on" : "off", error->message);
            g_error_free(error);
            return;
        }
        gboolean success = TRUE;
        if (g_variant_is_of_type(reply, G_VARIANT_TYPE("(b)")))
            g_variant_get(reply, "(b)", &success);
        if (!success)
            std::fprintf(stderr, "ravelin-notifier: callaudiod refused to switch the speaker %s\n", on ? "on" : "off");
        g_variant_unref(reply);
    }
};

CallAudio::CallAudio(Listener listener)
    : impl_(std::make_unique<Impl>())
{
    impl_->listener = std::move(listener);
    impl_->watch = g_bus_watch_name(G_BUS_TYPE_SESSION, NAME, G_BUS_NAME_WATCHER_FLAGS_NONE, Impl::name_appeared,
        Impl::name_vanished, impl_.get(), nullptr);
}

CallAudio::~CallAudio()
{
    g_bus_unwatch_name(impl_->watch);
    impl_->forget();
}

bool CallAudio::present() const
{
    return impl_->proxy != nullptr;
}

bool CallAudio::enable_speaker(bool on)
{
    if (!impl_->proxy)
        return false;
    // The reply needs nothing of this object: it may come after it is gone.
    g_dbus_proxy_call(impl_->proxy, "EnableSpeaker", g_variant_new("(b)", on), G_DBUS_CALL_FLAGS_NO_AUTO_START,
        CALL_TIMEOUT_MS, nullptr, Impl::enabled, GINT_TO_POINTER(on ? 1 : 0));
    return true;
}

} // namespace platform
