#include "LogFile.h"

#include "Paths.h"
#include "Registry.h"
#include "UnicodeTextFile.h"

#include <platform/filesystem.h>
#include <platform/services/shell.h>

namespace os {

namespace {

class RegistryLogSource final : public core::LogSource {
public:
    // The source is a static that ends with the process while other threads may still log: they must
    // find no source rather than one half destroyed. Taken here, before the object's type unwinds.
    ~RegistryLogSource() override { core::set_log_source(nullptr); }

    bool logging_on() override
    {
        uint32_t value = 0;
        return reg_get_dword(MAKER_KEY, u"Log", value) && value != 0;
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
