// bench-contacts' helper on its private bus: "registry" waits for the source registry; "book N" waits for
// the address-book factory and adds N contacts to the built-in book, "Contact i" at +1 617 550 iiii.
#include <AddressBook.h>
#include <PrivateBus.h>
#include <cstdio>
#include <string>

using namespace private_bus;

int main(int argc, char** argv)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus || argc < 2)
        return 1;
    if (std::string(argv[1]) == "registry")
        return wait_for_name(bus, SOURCE_REGISTRY.bus_name) ? 0 : 1;
    std::string why;
    EBookClient* book = wait_for_name(bus, ADDRESS_BOOK.bus_name) ? connect_builtin_book(why) : nullptr;
    if (!book) {
        std::fprintf(stderr, "bench-contacts-fill: %s\n", why.c_str());
        return 1;
    }
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
    bool const added
        = e_book_client_add_contacts_sync(book, contacts, E_BOOK_OPERATION_FLAG_NONE, nullptr, nullptr, &error);
    if (!added)
        std::fprintf(stderr, "bench-contacts-fill: %s\n", error ? error->message : "not added");
    g_slist_free_full(contacts, g_object_unref);
    g_object_unref(book);
    g_object_unref(bus);
    return added ? 0 : 1;
}
