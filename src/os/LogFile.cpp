#include "LogFile.h"

#include "Paths.h"
#include "Registry.h"
#include "UnicodeTextFile.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <platform/filesystem.h>
#include <platform/services/shell.h>

namespace os {

namespace {

class RegistryLogSource final : public core::LogSource {
public:
    // The source is a static that ends with the process while other threads may still log: they must
    // find no source rather than one half destroyed. Taken here, before the object's type unwinds.
    ~RegistryLogSource() override { core::set_log_source(nullptr); }

    // Every log call asks; the setting is read again only after the store changed, or once a second for a
    // store whose change count does not see other processes' writes.
    bool logging_on() override
    {
        auto const now = std::chrono::steady_clock::now();
        uint64_t const change = reg_change_count();
        std::lock_guard lock(mutex_);
        if (!read_at_ || change != change_ || now - *read_at_ >= RECHECK) {
            uint32_t value = 0;
            on_ = reg_get_dword(MAKER_KEY, u"Log", value) && value != 0;
            change_ = change;
            read_at_ = now;
        }
        return on_;
    }

    std::unique_ptr<core::TextSink> open_file() override
    {
        String const folder = platform::state_folder();
        make_folders(folder);
        // The first process of the program starts the log afresh; a later one (a start that hands its
        // command line to the running instance, say) adds to it instead of wiping what it holds.
        String const path = folder + u"/" + expand_path(u"%app_name%.txt");
        platform::claim_file(path);
        return std::make_unique<LockedUnicodeTextFile>(path, FileMode::Append);
    }

private:
    static constexpr std::chrono::seconds RECHECK { 1 };

    std::mutex mutex_;
    std::optional<std::chrono::steady_clock::time_point> read_at_;
    uint64_t change_ = 0;
    bool on_ = false;

    // Without logging: the log is being opened and must not write to itself.
    static void make_folders(String const& folder)
    {
        if (folder.empty() || platform::file_facts(folder).exists)
            return;
        make_folders(parent_directory(folder));
        platform::make_directory(strip_trailing_separator(folder));
    }
};

} // namespace

void install_log()
{
    static RegistryLogSource source;
    core::set_log_source(&source);
}

} // namespace os
