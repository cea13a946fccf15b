// The contact store's costs on a real Evolution Data Server, printed as figures:
// - open_contact_store() itself (nothing is connected there);
// - the first lookup of a process (loading the module, GLib, the registry, the address books, the query),
//   in five fresh processes;
// - later lookups, found and not found, in an address book of 1000 contacts;
// - the choice of the vCard folder when the bus has no address-book service.
// Runs in a private home with a private session bus; the registry and the factory are started on it.
// Each measurement is a child process of its own that starts with nothing of GLib or libebook loaded,
// as the program does: the address book is filled by bench-contacts-fill.
#include <PrivateBus.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <platform/phone/contacts.h>
#include <platform/text.h>
#include <string>
#include <vector>

namespace {

using namespace private_bus;

using Clock = std::chrono::steady_clock;
constexpr int CONTACTS = 1000;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs `work` in a child process; its exit status.
template <typename Work> int in_child(Work work)
{
    std::fflush(stdout);
    pid_t const child = fork();
    if (child == 0) {
        int const status = work();
        std::fflush(stdout);
        _exit(status);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The numbers bench-contacts-fill gives its contacts.
std::string number_of(int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "+1 617 550 %04d", i % 10000);
    return text;
}

// bench-contacts-fill, beside this program: waits for the registry, or fills the address book.
bool fill(char const* what)
{
    auto const self = std::filesystem::read_symlink("/proc/self/exe");
    pid_t const pid = spawn({ (self.parent_path() / "bench-contacts-fill").string(), what, std::to_string(CONTACTS) });
    int status = -1;
    if (pid > 0)
        waitpid(pid, &status, 0);
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The registry and the factory are children of this program, started in that order.
bool start_eds(pid_t& registry, pid_t& factory)
{
    registry = spawn({ SOURCE_REGISTRY.program });
    if (!fill("registry"))
        return false;
    factory = spawn({ ADDRESS_BOOK.program });
    return fill("book");
}

void first_and_later_lookups()
{
    std::vector<double> opens, firsts;
    for (int run = 0; run < 5; ++run) {
        int ends[2];
        if (pipe(ends) != 0)
            return;
        in_child([&] {
            auto const start = Clock::now();
            auto store = platform::open_contact_store();
            double const open = ms_since(start);
            auto const found = store->find_by_phone(u"(617) 550-0500");
            double const times[] = { open, found ? ms_since(start) : -1.0 };
            return write(ends[1], times, sizeof times) == sizeof times ? 0 : 1;
        });
        double times[2] = { -1, -1 };
        if (read(ends[0], times, sizeof times) != sizeof times)
            times[1] = -1;
        close(ends[0]);
        close(ends[1]);
        opens.push_back(times[0]);
        firsts.push_back(times[1]);
    }
    std::sort(opens.begin(), opens.end());
    std::sort(firsts.begin(), firsts.end());
    std::printf("open_contact_store(): median %.3f ms\n", opens[2]);
    std::printf("first lookup of a process (module, connection, query; %d contacts): median %.1f ms, "
                "min %.1f, max %.1f\n",
        CONTACTS, firsts[2], firsts[0], firsts[4]);
    in_child([] {
        auto store = platform::open_contact_store();
        store->find_by_phone(u"+1 617 550 0001");
        int const lookups = 50;
        auto start = Clock::now();
        int found = 0;
        for (int i = 0; i < lookups; ++i)
            found += store->find_by_phone(platform::from_utf8(number_of(i * 17 % CONTACTS))) ? 1 : 0;
        double const hit = ms_since(start) / lookups;
        start = Clock::now();
        for (int i = 0; i < lookups; ++i)
            found += store->find_by_phone(u"+44 20 7946 0000") ? 1 : 0;
        double const miss = ms_since(start) / lookups;
        std::printf("later lookups: found %.2f ms, not found %.2f ms (%d of %d found)\n", hit, miss, found, lookups);
        return 0;
    });
}

} // namespace

int main()
{
    char pattern[] = "/tmp/ravelin-bench-XXXXXX";
    std::string const home = mkdtemp(pattern);
    for (auto [name, place] : { std::pair { "HOME", "" }, { "XDG_CONFIG_HOME", "/config" },
             { "XDG_DATA_HOME", "/data" }, { "XDG_CACHE_HOME", "/cache" }, { "XDG_RUNTIME_DIR", "/run" } }) {
        std::filesystem::create_directories(home + place);
        setenv(name, (home + place).c_str(), 1);
    }
    unsetenv("RAVELIN_CONTACTS");
    std::filesystem::create_directories(home + "/data/ravelin/contacts");

    pid_t bus = -1, registry = -1, factory = -1;
    std::string why;
    std::string const address = start_bus("--session", bus, why);
    if (address.empty()) {
        std::printf("no session bus could be started: %s\n", why.c_str());
        return 1;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    if (start_eds(registry, factory))
        first_and_later_lookups();
    else
        std::printf("Evolution Data Server did not start on the private bus\n");
    stop(factory);
    stop(registry);
    stop(bus);

    // A bus that can start no service: the folder is chosen.
    std::string const config = home + "/bus.conf";
    std::ofstream(config) << QUIET_BUS_CONFIG;
    std::string const empty = start_bus("--config-file=" + config, bus, why);
    setenv("DBUS_SESSION_BUS_ADDRESS", empty.c_str(), 1);
    in_child([] {
        auto const start = Clock::now();
        auto store = platform::open_contact_store();
        store->find_by_phone(u"+1 617 550 0001");
        std::printf("first lookup with no address-book service on the bus (folder chosen): %.1f ms\n", ms_since(start));
        return 0;
    });
    stop(bus);
    std::filesystem::remove_all(home);
}
