// The contact store on a real Evolution Data Server: a private session bus in the test home, the source
// registry and the address-book factory started on it, contacts written into the built-in address book
// with libebook as another program would.
#include <AddressBook.h>
#include <ContactSupport.h>
#include <PrivateBus.h>
#include <algorithm>
#include <cstdio>
#include <platform/text.h>

using namespace platform;
using namespace private_bus;
using namespace testing_support;

namespace {

std::string as_string(std::vector<uint8_t> const& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The bus, the registry and the factory, and a client of the built-in address book, for the whole
// program; `why` says what could not start.
struct EdsSession {
    pid_t bus = -1, registry = -1, factory = -1;
    std::string why;
    EBookClient* book = nullptr;
    GDBusConnection* bus_connection = nullptr;

    EdsSession()
    {
        std::string const address = start_bus("--session", bus, why);
        if (address.empty())
            return;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        setenv("XDG_CACHE_HOME", (testing_support::test_home() + "/cache").c_str(), 1);
        unsetenv("RAVELIN_CONTACTS");
        GError* error = nullptr;
        bus_connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (!bus_connection) {
            why = std::string("no connection to the private bus: ") + error->message;
            g_error_free(error);
            return;
        }
        // Held past the bus' end, which would otherwise end this process.
        g_dbus_connection_set_exit_on_close(bus_connection, FALSE);
        for (auto [service, pid] : { std::pair { SOURCE_REGISTRY, &registry }, { ADDRESS_BOOK, &factory } }) {
            if (access(service.program, X_OK) != 0) {
                why = std::string(service.program) + " is not installed (evolution-data-server)";
                return;
            }
            *pid = spawn({ service.program });
            if (!wait_for_name(bus_connection, service.bus_name)) {
                why = std::string(service.program) + " did not come up on the bus in 10 s";
                return;
            }
        }
        book = connect_builtin_book(why);
    }

    ~EdsSession()
    {
        if (book)
            g_object_unref(book);
        stop(factory);
        stop(registry);
        stop(bus);
        if (bus_connection)
            g_object_unref(bus_connection);
    }

    // Adds (or, with its uid, changes) a contact from its vCard; its uid.
    std::string put(std::string const& vcard, std::string const& uid = {})
    {
        EContact* contact = e_contact_new_from_vcard_with_uid(vcard.c_str(), uid.empty() ? nullptr : uid.c_str());
        gchar* added = nullptr;
        GError* error = nullptr;
        bool const done = uid.empty()
            ? e_book_client_add_contact_sync(book, contact, E_BOOK_OPERATION_FLAG_NONE, &added, nullptr, &error)
            : e_book_client_modify_contact_sync(book, contact, E_BOOK_OPERATION_FLAG_NONE, nullptr, &error);
        g_object_unref(contact);
        EXPECT_TRUE(done) << (error ? error->message : "");
        g_clear_error(&error);
        std::string const result = added ? added : uid;
        g_free(added);
        return result;
    }

    void remove(std::string const& uid)
    {
        GError* error = nullptr;
        EXPECT_TRUE(
            e_book_client_remove_contact_by_uid_sync(book, uid.c_str(), E_BOOK_OPERATION_FLAG_NONE, nullptr, &error));
        g_clear_error(&error);
    }
};

EdsSession* session = nullptr;

std::string card(std::string const& name, std::string const& tel, std::string const& photo = {})
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nN:" + name + ";;;;\r\nTEL;TYPE=CELL:" + tel + "\r\n"
        + photo + "END:VCARD\r\n";
}

// In a process of its own: GLib keeps one session bus per process while anything uses it. No bus at
// all, then a bus without the address-book services.
TEST(EdsAbsent, TheVCardFolderServesWhenNoAddressBookIsOnTheBus)
{
    std::string const folder = testing_support::test_home() + "/data/ravelin/contacts";
    std::filesystem::create_directories(folder);
    write_file(folder + "/ann.vcf", "BEGIN:VCARD\nFN:Ann in the folder\nTEL:+44 20 7946 0000\nEND:VCARD\n");
    std::string const config = fresh_dir("bus") + "/bus.conf";
    write_file(config, QUIET_BUS_CONFIG);
    pid_t bus = -1;
    std::string why;
    std::string const address = start_bus("--config-file=" + config, bus, why);
    if (address.empty())
        GTEST_SKIP() << "no bus to test with: " << why;
    pid_t const child = fork();
    if (child == 0) {
        unsetenv("RAVELIN_CONTACTS");
        for (char const* bus_address : { "unix:path=/nonexistent/bus", address.c_str() }) {
            setenv("DBUS_SESSION_BUS_ADDRESS", bus_address, 1);
            auto store = open_contact_store();
            auto const ann = store ? store->find_by_phone(u"020 7946 0000") : std::nullopt;
            EXPECT_EQ(ann ? ann->card.formatted_name : u"(none)", u"Ann in the folder") << bus_address;
        }
        std::fflush(stdout);
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    stop(bus);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// The factory runs in the test's C locale, where the region of national numbers is the United States.
class EdsContacts : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = new EdsSession;
        if (!session->book)
            return;
        std::string const photos = fresh_dir("photos");
        write_file(photos + "/bo.jpg", as_string(file_photo));
        write_file(photos + "/cy.jpg", as_string(picture(MAX_CONTACT_PHOTO + 1, 5)));
        write_file(photos + "/di.jpg", as_string(picture(MAX_CONTACT_PHOTO, 9)));
        ann = session->put(ann_card());
        bo = session->put(card("Bo Park", "(617) 555-0111", "PHOTO;VALUE=uri:file://" + photos + "/bo.jpg\r\n"));
        session->put(card("Cy Big", "+1 617 555 0199", "PHOTO;VALUE=uri:file://" + photos + "/cy.jpg\r\n"));
        session->put(card("Di Edge", "617.555.0123", "PHOTO;VALUE=uri:file://" + photos + "/di.jpg\r\n"));
    }

    static void TearDownTestSuite()
    {
        delete session;
        session = nullptr;
    }

    void SetUp() override
    {
        if (!session->book)
            GTEST_SKIP() << "no Evolution Data Server to test with: " << session->why;
        store = open_contact_store();
        ASSERT_TRUE(store);
    }

    static std::string ann_card()
    {
        return card("Ann Lee", "+1 (617) 555-0100", "PHOTO;ENCODING=b;TYPE=JPEG:" + base64(inline_photo) + "\r\n");
    }

    static inline std::vector<uint8_t> const inline_photo = picture(3000, 1);
    static inline std::vector<uint8_t> const file_photo = picture(50'000, 3);
    static inline std::string ann, bo;
    std::unique_ptr<ContactStore> store;
};

TEST_F(EdsContacts, FindsByEitherFormOfANumberWithTheFullNameAndStableIds)
{
    auto const ann_record = store->find_by_phone(u"617 555 0100"), bo_record = store->find_by_phone(u"+1 617-555-0111");
    ASSERT_TRUE(ann_record && bo_record);
    EXPECT_EQ(std::tuple(ann_record->card.formatted_name, ann_record->card.tels.size(), bo_record->card.formatted_name),
        std::tuple(u"Ann Lee", 1u, u"Bo Park"));
    EXPECT_EQ(ann_record->card.tels.at(0).number, u"+1 (617) 555-0100");
    EXPECT_NE(ann_record->oid, 0u);
    EXPECT_NE(ann_record->oid, bo_record->oid);
    EXPECT_EQ(store->find_by_phone(u"+16175550100")->oid, ann_record->oid);
    EXPECT_EQ(store->read(bo_record->oid)->card.formatted_name, u"Bo Park");
    EXPECT_FALSE(store->read(bo_record->oid + 100) || store->find_by_phone(u"+1 617 555 0999")
        || store->find_by_phone(u"0100") || store->find_by_phone(u"not a number"));
}

TEST_F(EdsContacts, PicturesInlineOrFromTheirFileUpToTheLimit)
{
    auto const ann_record = store->find_by_phone(u"+1 617 555 0100"), bo = store->find_by_phone(u"617 555 0111"),
               cy = store->find_by_phone(u"(617) 555-0199"), di = store->find_by_phone(u"+1 617 555 0123");
    ASSERT_TRUE(ann_record && bo && cy && di);
    EXPECT_EQ(ann_record->card.photo, inline_photo);
    EXPECT_EQ(bo->card.photo, file_photo);
    EXPECT_EQ(store->read(bo->oid)->card.photo, file_photo);
    EXPECT_TRUE(cy->card.photo.empty() && cy->card.photo_over_limit);
    EXPECT_EQ(di->card.photo, picture(MAX_CONTACT_PHOTO, 9));
}

TEST_F(EdsContacts, ChangesReachTheWatchingWindowWithTheContactsId)
{
    auto const ann_oid = store->find_by_phone(u"617-555-0100")->oid;
    PimWatch watch;
    ASSERT_TRUE(store->watch(watch.window()));
    auto const next = [&](uint32_t bound = 10000) { return watch.next(bound); };
    using Change = PimWatch::Change;

    std::string const eve = session->put(card("Eve Moss", "+1 617 555 0122"));
    auto const [created, eve_id] = next();
    ASSERT_EQ(created, PIM_ITEM_CREATED_LOCAL);
    auto const eve_oid = static_cast<uint32_t>(eve_id);
    EXPECT_NE(eve_oid, ann_oid);
    EXPECT_EQ(store->read(eve_oid)->card.formatted_name, u"Eve Moss");

    session->put(card("Eve Moss-Hart", "+1 617 555 0122"), eve);
    EXPECT_EQ(next(), Change(PIM_ITEM_CHANGED_LOCAL, eve_oid));
    EXPECT_EQ(store->find_by_phone(u"617 555 0122")->card.formatted_name, u"Eve Moss-Hart");

    session->put(card("Ann Lee", "+1 (617) 555-0100"), ann); // known before the watch: the id found then
    EXPECT_EQ(next(), Change(PIM_ITEM_CHANGED_LOCAL, ann_oid));
    session->put(ann_card(), ann);
    EXPECT_NE(next(), Change());

    session->remove(eve);
    EXPECT_EQ(next(), Change(PIM_ITEM_DELETED_LOCAL, eve_oid));
    EXPECT_FALSE(store->read(eve_oid));

    EXPECT_TRUE(store->watch(0));
    session->put(card("Fay After", "+1 617 555 0133"));
    EXPECT_EQ(next(1000), Change()) << "no longer watched";
}

TEST_F(EdsContacts, AnExplicitFolderIsUsedInsteadOfTheAddressBooks)
{
    std::string const folder = fresh_dir("chosen");
    write_file(folder + "/ann.vcf", "BEGIN:VCARD\nFN:Ann in a file\nTEL:+44 20 7946 0000\nEND:VCARD\n");
    setenv("RAVELIN_CONTACTS", folder.c_str(), 1);
    auto chosen = open_contact_store();
    unsetenv("RAVELIN_CONTACTS");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->find_by_phone(u"020 7946 0000")->card.formatted_name, u"Ann in a file");
    EXPECT_FALSE(chosen->find_by_phone(u"020 7946 0111"));
}

} // namespace
