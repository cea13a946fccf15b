#include "file_chooser.h"

#include "bus_thread.h"

#include <cstdlib>
#include <platform/text.h>
#include <string_view>

namespace platform {

namespace {

constexpr char PORTAL[] = "org.freedesktop.portal.Desktop";
constexpr char PORTAL_PATH[] = "/org/freedesktop/portal/desktop";
constexpr char FILE_CHOOSER[] = "org.freedesktop.portal.FileChooser";
constexpr char REQUEST[] = "org.freedesktop.portal.Request";
constexpr char REQUEST_PATH[] = "/org/freedesktop/portal/desktop/request/";
constexpr uint32_t RESPONSE_CHOSEN = 0;

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The first of the "uris" in a Response's results, or empty.
std::string first_uri(sd_bus_message* signal)
{
    std::string found;
    if (sd_bus_message_enter_container(signal, 'a', "{sv}") <= 0)
        return found;
    while (sd_bus_message_enter_container(signal, 'e', "sv") > 0) {
        char const* key = nullptr;
        if (sd_bus_message_read(signal, "s", &key) < 0)
            return found;
        if (std::string_view(key) == "uris" && sd_bus_message_enter_container(signal, 'v', "as") > 0) {
            char** uris = nullptr;
            if (sd_bus_message_read_strv(signal, &uris) >= 0 && uris) {
                if (uris[0] && found.empty())
                    found = uris[0];
                for (char** uri = uris; *uri; ++uri)
                    std::free(*uri);
                std::free(uris);
            }
            sd_bus_message_exit_container(signal);
        } else if (sd_bus_message_skip(signal, "v") < 0) {
            return found;
        }
        sd_bus_message_exit_container(signal);
    }
    sd_bus_message_exit_container(signal);
    return found;
}

} // namespace

std::string path_of_file_uri(std::string const& uri)
{
    constexpr std::string_view SCHEME = "file://";
    if (uri.size() <= SCHEME.size() || std::string_view(uri).substr(0, SCHEME.size()) != SCHEME)
        return {};
    std::string_view rest = std::string_view(uri).substr(SCHEME.size());
    size_t const slash = rest.find('/');
    std::string_view const host = rest.substr(0, slash);
    if (slash == std::string_view::npos || (!host.empty() && host != "localhost"))
        return {};
    rest.remove_prefix(slash);
    std::string path;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        int const high = i + 2 < rest.size() ? hex_digit(rest[i + 1]) : -1;
        int const low = high >= 0 ? hex_digit(rest[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return {};
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

// Everything here lives on the bus thread.
struct SaveFileChooser::Asker {
    void ask(std::string const& title, std::string const& current_name, Done asked);
    void watch(sd_bus* session, std::string const& handle);
    void unwatch() { slot = sd_bus_slot_unref(slot); }
    void finish(Answer const& answer);
    static Answer no_portal(std::string problem) { return { Answer::Kind::NO_PORTAL, {}, std::move(problem) }; }
    static int on_response(sd_bus_message* signal, void* self, sd_bus_error*);

    Done done;
    sd_bus_slot* slot = nullptr;
    uint64_t questions = 0;
    // Last: its thread ends before the state that its jobs and signals use goes.
    BusThread bus;
};

SaveFileChooser::SaveFileChooser()
    : asker_(std::make_unique<Asker>())
{
}

SaveFileChooser::~SaveFileChooser()
{
    Asker* asker = asker_.get();
    asker->bus.post([asker] { asker->unwatch(); });
}

void SaveFileChooser::ask(std::u16string const& title, std::u16string const& current_name, Done done)
{
    Asker* asker = asker_.get();
    asker->bus.post([asker, title = to_utf8(title), name = to_utf8(current_name), done = std::move(done)]() mutable {
        asker->ask(title, name, std::move(done));
    });
}

void SaveFileChooser::Asker::ask(std::string const& title, std::string const& current_name, Done asked)
{
    // A question still open is not answered any more: it counts as cancelled.
    if (done) {
        unwatch();
        finish({ Answer::Kind::CANCELLED, {}, {} });
    }
    done = std::move(asked);
    std::string problem;
    sd_bus* session = bus.bus(BusThread::Bus::SESSION, problem);
    char const* unique = nullptr;
    if (!session || sd_bus_get_unique_name(session, &unique) < 0 || !unique || unique[0] != ':')
        return finish(no_portal(session ? "no name on the session bus" : problem));
    // The portal makes the request's path from our name and the token; the signal is watched before the
    // call, so that an answer that comes at once is not missed.
    std::string const token = "ravelin" + std::to_string(++questions);
    std::string sender = unique + 1;
    for (char& c : sender)
        c = c == '.' ? '_' : c;
    std::string const expected = REQUEST_PATH + sender + "/" + token;
    watch(session, expected);

    sd_bus_message* call = nullptr;
    int result = sd_bus_message_new_method_call(session, &call, PORTAL, PORTAL_PATH, FILE_CHOOSER, "SaveFile");
    BusMessage const message(call);
    if (result >= 0)
        result = sd_bus_message_append(call, "ss", "", title.c_str());
    if (result >= 0)
        result = sd_bus_message_append(call, "a{sv}", 3, "handle_token", "s", token.c_str(), "current_name", "s",
            current_name.c_str(), "modal", "b", 1);
    BusError error;
    sd_bus_message* answer = nullptr;
    if (result >= 0)
        result = sd_bus_call(session, call, 0, error.get(), &answer);
    BusMessage const reply(answer);
    char const* handle = nullptr;
    if (result >= 0)
        result = sd_bus_message_read(answer, "o", &handle);
    if (result < 0) {
        unwatch();
        return finish(no_portal("SaveFile: " + error.text(result)));
    }
    // An older portal makes a path of its own.
    if (handle != expected)
        watch(session, handle);
}

void SaveFileChooser::Asker::watch(sd_bus* session, std::string const& handle)
{
    unwatch();
    sd_bus_match_signal(session, &slot, nullptr, handle.c_str(), REQUEST, "Response", on_response, this);
}

void SaveFileChooser::Asker::finish(Answer const& answer)
{
    Done const told = std::move(done);
    done = nullptr;
    if (told)
        told(answer);
}

int SaveFileChooser::Asker::on_response(sd_bus_message* signal, void* self, sd_bus_error*)
{
    auto* asker = static_cast<Asker*>(self);
    asker->unwatch();
    uint32_t response = 0;
    if (sd_bus_message_read(signal, "u", &response) < 0) {
        asker->finish(no_portal("an unreadable Response"));
        return 0;
    }
    // Cancelled, or ended some other way (the dialog closed by the desktop): nothing is saved.
    if (response != RESPONSE_CHOSEN) {
        asker->finish({ Answer::Kind::CANCELLED, {}, {} });
        return 0;
    }
    std::string const uri = first_uri(signal);
    std::string const path = path_of_file_uri(uri);
    if (path.empty())
        asker->finish(no_portal("the chooser named no local file: \"" + uri + "\""));
    else
        asker->finish({ Answer::Kind::CHOSEN, from_utf8(path), {} });
    return 0;
}

} // namespace platform
