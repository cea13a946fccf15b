// bench-contacts' helper on its private bus: "registry" waits for the source registry; "book N" waits for
// the address-book factory and adds N contacts to the built-in book, "Contact i" at +1 617 550 iiii.
#include <chrono>
#include <cstdio>
#include <libebook/libebook.h>
#include <string>
#include <thread>

namespace {

bool wait_for_name(GDBusConnection* bus, char const* name)
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

} // namespace

int main(int argc, char** argv)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus || argc < 2)
        return 1;
    if (std::string(argv[1]) == "registry")
        return wait_for_name(bus, "org.gnome.evolution.dataserver.Sources5") ? 0 : 1;
    if (!wait_for_name(bus, "org.gnome.evolution.dataserver.AddressBook10"))
        return 1;
    ESourceRegistry* sources = e_source_registry_new_sync(nullptr, nullptr);
    ESource* builtin = sources ? e_source_registry_ref_builtin_address_book(sources) : nullptr;
    EClient* client
        = builtin ? e_book_client_connect_sync(builtin, static_cast<guint32>(-1), nullptr, nullptr) : nullptr;
    if (!client)
        return 1;
    int const count = argc > 2 ? std::stoi(argv[2]) : 0;
    GSList* contacts = nullptr;
    for (int i = 0; i < count; ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "+1 617 550 %04d", i % 10000);
        std::string const card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact " + std::to_string(i)
            + "\r\nTEL;TYPE=CELL:" + number + "\r\nEND:VCARD\r\n";
        contacts = g_slist_prepend(contacts, e_contact_new_from_vcard(card.c_str()));
    }
    GError* error = nullptr;
    bool const added = e_book_client_add_contacts_sync(
        E_BOOK_CLIENT(client), contacts, E_BOOK_OPERATION_FLAG_NONE, nullptr, nullptr, &error);
    if (!added)
        std::fprintf(stderr, "bench-contacts-fill: %s\n", error ? error->message : "not added");
    g_slist_free_full(contacts, g_object_unref);
    g_object_unref(client);
    g_object_unref(builtin);
    g_object_unref(sources);
    g_object_unref(bus);
    return added ? 0 : 1;
}
