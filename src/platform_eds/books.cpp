// The module ravelin-eds.so: Evolution Data Server's address books behind platform::eds::Books. All of
// GLib and libebook is here, on one thread with its own main context, so that the program's own loop
// never runs GLib's and every EDS object is used on the thread that made it.
#include <platform/phone/contacts_eds.h>

#include <libebook/libebook.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace platform::eds {

namespace {

// Separates a book's uid from a contact's in the uids handed out (neither has control characters).
constexpr char UID_SEPARATOR = '\x1f';

std::string take_error(GError*& error)
{
    std::string text = error ? error->message : "unknown error";
    g_clear_error(&error);
    return text;
}

struct Book {
    std::string uid;
    EBookClient* client = nullptr;
    EBookClientView* view = nullptr;
    bool view_complete = false;
};

class EdsBooks final : public Books {
public:
    EdsBooks()
        : context_(g_main_context_new())
        , loop_(g_main_loop_new(context_, FALSE))
    {
        std::promise<void> running;
        auto started = running.get_future();
        thread_ = std::thread([this, &running] {
            g_main_context_push_thread_default(context_);
            thread_id_ = std::this_thread::get_id();
            running.set_value();
            g_main_loop_run(loop_);
            close_all();
            // What the closing left for the context (GDBus' last signals) goes before the context.
            while (g_main_context_iteration(context_, FALSE)) { }
            g_main_context_pop_thread_default(context_);
        });
        started.wait();
    }

    ~EdsBooks() override
    {
        on_thread([this] { g_main_loop_quit(loop_); });
        thread_.join();
        g_main_loop_unref(loop_);
        g_main_context_unref(context_);
    }

    // Within `timeout_ms` or not at all: the registry and each enabled address book.
    bool connect(int timeout_ms, std::string& error)
    {
        GCancellable* cancel = g_cancellable_new();
        auto result = std::make_shared<std::promise<std::string>>();
        auto done = result->get_future();
        post([this, cancel, result] { result->set_value(connect_books(cancel)); });
        if (done.wait_for(std::chrono::milliseconds(timeout_ms)) == std::future_status::timeout) {
            g_cancellable_cancel(cancel);
            done.wait();
            error = "no answer within " + std::to_string(timeout_ms) + " ms";
        } else {
            error = done.get();
        }
        g_object_unref(cancel);
        return error.empty();
    }

    std::optional<Contact> find_by_phone(
        std::string const& number, std::function<bool(std::string const& tel)> const& same_number) override
    {
        std::optional<Contact> found;
        on_thread([&] {
            for (auto& book : books_) {
                if (auto contact = find_in(book, number, same_number)) {
                    found = std::move(contact);
                    return;
                }
            }
        });
        return found;
    }

    std::optional<Contact> read(std::string const& uid) override
    {
        std::optional<Contact> found;
        auto const split = uid.find(UID_SEPARATOR);
        if (split == std::string::npos)
            return found;
        on_thread([&] {
            for (auto& book : books_) {
                if (uid.compare(0, split, book.uid) != 0 || split != book.uid.size())
                    continue;
                EContact* contact = nullptr;
                GError* error = nullptr;
                if (e_book_client_get_contact_sync(book.client, uid.c_str() + split + 1, &contact, nullptr, &error)) {
                    found = to_contact(book, contact);
                    g_object_unref(contact);
                } else {
                    g_clear_error(&error);
                }
            }
        });
        return found;
    }

    bool watch(std::function<void(Change, std::string const& uid)> changed) override
    {
        bool watching = false;
        on_thread([&] {
            stop_views();
            changed_ = std::move(changed);
            if (changed_)
                watching = start_views();
            else
                watching = true;
        });
        return watching;
    }

private:
    // Runs `task` on the module's thread and waits for it.
    void on_thread(std::function<void()> const& task)
    {
        if (std::this_thread::get_id() == thread_id_) {
            task();
            return;
        }
        std::promise<void> done;
        auto finished = done.get_future();
        post([&] {
            task();
            done.set_value();
        });
        finished.wait();
    }

    void post(std::function<void()> task)
    {
        GSource* source = g_idle_source_new();
        g_source_set_callback(
            source,
            [](gpointer data) -> gboolean {
                (*static_cast<std::function<void()>*>(data))();
                return G_SOURCE_REMOVE;
            },
            new std::function<void()>(std::move(task)),
            [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
        g_source_attach(source, context_);
        g_source_unref(source);
    }

    std::string connect_books(GCancellable* cancel)
    {
        GError* error = nullptr;
        registry_ = e_source_registry_new_sync(cancel, &error);
        if (!registry_)
            return "no source registry: " + take_error(error);
        // The built-in book first: it is where a phone's own contacts are; the others in a stable order.
        std::string const builtin_uid = "system-address-book";
        GList* sources = e_source_registry_list_enabled(registry_, E_SOURCE_EXTENSION_ADDRESS_BOOK);
        std::vector<ESource*> ordered;
        for (GList* at = sources; at; at = at->next)
            ordered.push_back(E_SOURCE(at->data));
        std::stable_sort(ordered.begin(), ordered.end(), [&](ESource* a, ESource* b) {
            std::string const x = e_source_get_uid(a), y = e_source_get_uid(b);
            return std::make_pair(x != builtin_uid, x) < std::make_pair(y != builtin_uid, y);
        });
        std::string problems;
        for (ESource* source : ordered) {
            // Not waiting for a remote book to be online: what it has cached answers.
            EClient* client = e_book_client_connect_sync(source, static_cast<guint32>(-1), cancel, &error);
            if (client)
                books_.push_back(Book { e_source_get_uid(source), E_BOOK_CLIENT(client) });
            else
                problems
                    += std::string(problems.empty() ? "" : "; ") + e_source_get_uid(source) + ": " + take_error(error);
            if (g_cancellable_is_cancelled(cancel))
                break;
        }
        g_list_free_full(sources, g_object_unref);
        if (g_cancellable_is_cancelled(cancel))
            return "cancelled";
        if (books_.empty())
            return problems.empty() ? "no enabled address book" : "no address book opens: " + problems;
        return {};
    }

    std::optional<Contact> find_in(
        Book& book, std::string const& number, std::function<bool(std::string const&)> const& same_number)
    {
        GSList* contacts = nullptr;
        GError* error = nullptr;
        bool national = false;
        if (e_phone_number_is_supported()) {
            EBookQuery* query
                = e_book_query_field_test(E_CONTACT_TEL, E_BOOK_QUERY_EQUALS_NATIONAL_PHONE_NUMBER, number.c_str());
            gchar* sexp = e_book_query_to_string(query);
            e_book_query_unref(query);
            national = e_book_client_get_contacts_sync(book.client, sexp, &contacts, nullptr, &error);
            g_free(sexp);
            g_clear_error(&error);
        }
        if (!national) {
            // Without libphonenumber, or a number it cannot read: every contact with a number, by digits.
            EBookQuery* query = e_book_query_field_exists(E_CONTACT_TEL);
            gchar* sexp = e_book_query_to_string(query);
            e_book_query_unref(query);
            if (!e_book_client_get_contacts_sync(book.client, sexp, &contacts, nullptr, &error))
                g_clear_error(&error);
            g_free(sexp);
        }
        std::optional<Contact> found;
        for (GSList* at = contacts; at && !found; at = at->next) {
            EContact* contact = E_CONTACT(at->data);
            if (national || has_number(contact, same_number))
                found = to_contact(book, contact);
        }
        g_slist_free_full(contacts, g_object_unref);
        return found;
    }

    static bool has_number(EContact* contact, std::function<bool(std::string const&)> const& same_number)
    {
        auto* tels = static_cast<GList*>(e_contact_get(contact, E_CONTACT_TEL));
        bool same = false;
        for (GList* at = tels; at && !same; at = at->next)
            same = same_number(static_cast<char const*>(at->data));
        g_list_free_full(tels, g_free);
        return same;
    }

    static Contact to_contact(Book const& book, EContact* contact)
    {
        Contact out;
        auto const* uid = static_cast<char const*>(e_contact_get_const(contact, E_CONTACT_UID));
        out.uid = book.uid + UID_SEPARATOR + (uid ? uid : "");
        if (auto* photo = static_cast<EContactPhoto*>(e_contact_get(contact, E_CONTACT_PHOTO))) {
            if (photo->type == E_CONTACT_PHOTO_TYPE_INLINED && photo->data.inlined.data)
                out.photo.assign(photo->data.inlined.data, photo->data.inlined.data + photo->data.inlined.length);
            else if (photo->type == E_CONTACT_PHOTO_TYPE_URI && photo->data.uri
                && g_str_has_prefix(photo->data.uri, "file:")) {
                if (gchar* path = g_filename_from_uri(photo->data.uri, nullptr, nullptr)) {
                    out.photo_file = path;
                    g_free(path);
                }
            }
            e_contact_photo_free(photo);
        }
        // The card without its photo: the photo is above, and a big one would only be encoded to be decoded.
        EContact* card = e_contact_duplicate(contact);
        e_vcard_remove_attributes(E_VCARD(card), nullptr, EVC_PHOTO);
        gchar* text = e_vcard_to_string(E_VCARD(card), EVC_FORMAT_VCARD_30);
        out.vcard = text ? text : "";
        g_free(text);
        g_object_unref(card);
        return out;
    }

    bool start_views()
    {
        EBookQuery* query = e_book_query_any_field_contains("");
        gchar* sexp = e_book_query_to_string(query);
        e_book_query_unref(query);
        bool any = false;
        for (auto& book : books_) {
            GError* error = nullptr;
            if (!e_book_client_get_view_sync(book.client, sexp, &book.view, nullptr, &error)) {
                g_clear_error(&error);
                continue;
            }
            // Only what changes from now on; the contact itself is read when it is asked for.
            e_book_client_view_set_flags(book.view, E_BOOK_CLIENT_VIEW_FLAGS_NONE, nullptr);
            char uid_field[] = "UID";
            GSList fields_list { uid_field, nullptr };
            e_book_client_view_set_fields_of_interest(book.view, &fields_list, nullptr);
            g_signal_connect(book.view, "objects-added", G_CALLBACK(on_contacts_added), this);
            g_signal_connect(book.view, "objects-modified", G_CALLBACK(on_contacts_modified), this);
            g_signal_connect(book.view, "objects-removed", G_CALLBACK(on_uids_removed), this);
            g_signal_connect(book.view, "complete", G_CALLBACK(on_view_complete), this);
            book.view_complete = false;
            e_book_client_view_start(book.view, &error);
            if (error) {
                g_clear_error(&error);
                g_signal_handlers_disconnect_by_data(book.view, this);
                g_clear_object(&book.view);
                continue;
            }
            any = true;
        }
        g_free(sexp);
        wait_for_views();
        return any;
    }

    // Until each view has gone through what its book holds now (or 5 s): a contact added while a view
    // still reads its book would be told as modified rather than added.
    void wait_for_views()
    {
        bool timed_out = false;
        GSource* bound = g_timeout_source_new(5000);
        g_source_set_callback(
            bound,
            [](gpointer flag) -> gboolean {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &timed_out, nullptr);
        g_source_attach(bound, context_);
        auto const waiting = [this] {
            return std::any_of(
                books_.begin(), books_.end(), [](Book const& book) { return book.view && !book.view_complete; });
        };
        while (waiting() && !timed_out)
            g_main_context_iteration(context_, TRUE);
        g_source_destroy(bound);
        g_source_unref(bound);
    }

    void stop_views()
    {
        for (auto& book : books_) {
            if (!book.view)
                continue;
            g_signal_handlers_disconnect_by_data(book.view, this);
            e_book_client_view_stop(book.view, nullptr);
            g_clear_object(&book.view);
        }
        changed_ = nullptr;
    }

    void close_all()
    {
        stop_views();
        for (auto& book : books_)
            g_object_unref(book.client);
        books_.clear();
        g_clear_object(&registry_);
    }

    Book const* book_of(EBookClientView* view) const
    {
        for (auto const& book : books_)
            if (book.view == view)
                return &book;
        return nullptr;
    }

    void tell(EBookClientView* view, Change change, char const* uid)
    {
        Book const* book = book_of(view);
        if (book && uid && changed_)
            changed_(change, book->uid + UID_SEPARATOR + uid);
    }

    static void tell_contacts(EBookClientView* view, GSList const* contacts, Change change, gpointer self)
    {
        for (GSList const* at = contacts; at; at = at->next)
            static_cast<EdsBooks*>(self)->tell(
                view, change, static_cast<char const*>(e_contact_get_const(E_CONTACT(at->data), E_CONTACT_UID)));
    }

    static void on_contacts_added(EBookClientView* view, GSList const* contacts, gpointer self)
    {
        tell_contacts(view, contacts, Change::ADDED, self);
    }

    static void on_contacts_modified(EBookClientView* view, GSList const* contacts, gpointer self)
    {
        tell_contacts(view, contacts, Change::MODIFIED, self);
    }

    static void on_view_complete(EBookClientView* view, GError const*, gpointer self)
    {
        for (auto& book : static_cast<EdsBooks*>(self)->books_)
            if (book.view == view)
                book.view_complete = true;
    }

    static void on_uids_removed(EBookClientView* view, GSList const* uids, gpointer self)
    {
        for (GSList const* at = uids; at; at = at->next)
            static_cast<EdsBooks*>(self)->tell(view, Change::REMOVED, static_cast<char const*>(at->data));
    }

    GMainContext* context_;
    GMainLoop* loop_;
    std::thread thread_;
    std::thread::id thread_id_;
    ESourceRegistry* registry_ = nullptr;
    std::vector<Book> books_;
    std::function<void(Change, std::string const&)> changed_;
};

} // namespace

} // namespace platform::eds

extern "C" __attribute__((visibility("default"))) platform::eds::Books* ravelin_eds_open(
    int timeout_ms, std::string& error)
{
    auto books = std::make_unique<platform::eds::EdsBooks>();
    if (!books->connect(timeout_ms, error))
        return nullptr;
    return books.release();
}
