#pragma once

// The built-in address book of an Evolution Data Server started on a private session bus (see
// PrivateBus.h), as another program reaches it through libebook.
#include <chrono>
#include <libebook/libebook.h>
#include <string>
#include <thread>

namespace private_bus {

// Waits (at most 10 s) for `name` to be owned on the bus.
inline bool wait_for_name(GDBusConnection* bus, char const* name)
{
    for (int i = 0; i < 200; ++i) {
        GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean owned = FALSE;
        if (reply) {
            g_variant_get(reply, "(b)", &owned);
            g_variant_unref(reply);
        }
        if (owned)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A client of the built-in address book on the session bus, or null with the reason in `why`.
inline EBookClient* connect_builtin_book(std::string& why)
{
    GError* error = nullptr;
    ESourceRegistry* sources = e_source_registry_new_sync(nullptr, &error);
    ESource* builtin = sources ? e_source_registry_ref_builtin_address_book(sources) : nullptr;
    EClient* client
        = builtin ? e_book_client_connect_sync(builtin, static_cast<guint32>(-1), nullptr, &error) : nullptr;
    if (!client)
        why = std::string("the built-in address book does not open: ") + (error ? error->message : "none");
    g_clear_error(&error);
    if (builtin)
        g_object_unref(builtin);
    if (sources)
        g_object_unref(sources);
    return client ? E_BOOK_CLIENT(client) : nullptr;
}

} // namespace private_bus
