#include "notifications.h"

#include "registry_values.h"
#include "shell.h"
#include <platform/text.h>

#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr RegistryRoot OWNER = RegistryRoot::CURRENT_USER;
constexpr char16_t COMMAND_LINE[] = u"Command Line";
constexpr char16_t ROOT[] = u"Root";
constexpr char16_t KEY[] = u"Key";
constexpr char16_t VALUE_NAME[] = u"Value";
constexpr char16_t MASK[] = u"Mask";
constexpr char16_t TARGET[] = u"Target";

class RegistryNotifications final : public AppNotifications {
public:
    explicit RegistryNotifications(RegistryStore& store)
        : store_(store)
    {
    }

    uint32_t add(AppNotification const& n) override
    {
        if (n.name.empty() || n.name.find(u'\\') != std::u16string::npos || n.command_line.empty())
            return NOTIFY_FAILED;
        auto const key = key_of(n.name);
        bool const existed = read_text(store_, OWNER, key, COMMAND_LINE).has_value();
        // The command line last: a registration counts only once it is complete.
        bool const ok = write_dword(store_, OWNER, key, ROOT, static_cast<uint32_t>(n.condition.root))
            && write_text(store_, OWNER, key, KEY, n.condition.key)
            && write_text(store_, OWNER, key, VALUE_NAME, n.condition.value)
            && write_dword(store_, OWNER, key, MASK, n.condition.mask)
            && write_dword(store_, OWNER, key, TARGET, n.condition.target)
            && write_text(store_, OWNER, key, COMMAND_LINE, n.command_line);
        if (!ok)
            return NOTIFY_FAILED;
        store_.flush();
        return existed ? NOTIFY_ALREADY_REGISTERED : NOTIFY_OK;
    }

    uint32_t remove(std::u16string const& name) override
    {
        auto const key = key_of(name);
        if (!read_text(store_, OWNER, key, COMMAND_LINE))
            return NOTIFY_NOT_FOUND;
        if (!store_.remove_value(OWNER, key, COMMAND_LINE))
            return NOTIFY_FAILED;
        store_.flush();
        return NOTIFY_OK;
    }

    std::vector<AppNotification> registered() override
    {
        std::vector<AppNotification> found;
        auto const names = store_.subkeys(OWNER, NOTIFICATIONS_KEY);
        if (!names)
            return found;
        for (auto const& name : *names) {
            auto const key = key_of(name);
            auto command = read_text(store_, OWNER, key, COMMAND_LINE);
            auto root = read_dword(store_, OWNER, key, ROOT);
            auto watched_key = read_text(store_, OWNER, key, KEY);
            auto value = read_text(store_, OWNER, key, VALUE_NAME);
            auto mask = read_dword(store_, OWNER, key, MASK);
            auto target = read_dword(store_, OWNER, key, TARGET);
            if (!command || command->empty() || !root || *root > static_cast<uint32_t>(RegistryRoot::CURRENT_USER)
                || !watched_key || !value || !mask || !target)
                continue;
            found.push_back(
                { name, *command, { static_cast<RegistryRoot>(*root), *watched_key, *value, *mask, *target } });
        }
        return found;
    }

private:
    static std::u16string key_of(std::u16string const& name)
    {
        return std::u16string(NOTIFICATIONS_KEY) + u"\\" + name;
    }

    RegistryStore& store_;
};

} // namespace

std::unique_ptr<AppNotifications> open_app_notifications(RegistryStore& store)
{
    if (!store.is_open())
        return nullptr;
    return std::make_unique<RegistryNotifications>(store);
}

bool notifier_running(RegistryStore& store)
{
    int const fd = ::open((store.path() + "-notifier.lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool const held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

bool start_notifier()
{
    char buffer[PATH_MAX + 1];
    ssize_t const n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    std::string const self = n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    std::string const program = companion_program(self, "ravelin-notifier");
    if (program.empty())
        return false;
    return execute(from_utf8(program), u"--detach");
}

} // namespace platform
