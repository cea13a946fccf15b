#include "HardwareKey.h"

#include <algorithm>
#include <core/Log.h>
#include <os/Paths.h>
#include <os/Registry.h>

namespace keys {

namespace {

constexpr char16_t NAME[] = u"Name";
constexpr char16_t COMMAND[] = u""; // the key's default value
constexpr char16_t RESET_COMMAND[] = u"ResetCmd";
constexpr char16_t ICON[] = u"Icon";

core::StringView without_leading_quote(core::StringView text)
{
    if (!text.empty() && (text.front() == u'"' || text.front() == u'\''))
        text.remove_prefix(1);
    return text;
}

bool write_binding(HardwareKey const& key, core::StringView command, core::StringView reset_command, bool command_first)
{
    // Whichever write comes first, a failure or a crash between the two must leave the table able to
    // restore the button's own command.
    bool ok = command_first
        ? os::reg_set_string(key.key, COMMAND, command) && os::reg_set_string(key.key, RESET_COMMAND, reset_command)
        : os::reg_set_string(key.key, RESET_COMMAND, reset_command) && os::reg_set_string(key.key, COMMAND, command);
    return os::reg_flush() && ok;
}

} // namespace

bool is_program_command(core::StringView command)
{
    if (command.empty())
        return false;
    // The program's folder, which an installation keeps apart from the data folder ("%app_path%").
    return os::is_under(os::directory_part(os::program_path()), without_leading_quote(command));
}

core::String quick_record_command()
{
    return os::program_command(u"record");
}

std::vector<HardwareKey> list_hardware_keys()
{
    std::vector<HardwareKey> list;
    for (auto const& sub_key : os::reg_enum_subkeys(KEY_TABLE)) {
        HardwareKey k;
        k.key = core::String(KEY_TABLE) + u"\\" + sub_key;
        os::reg_get_string(k.key, NAME, k.name);
        os::reg_get_string(k.key, COMMAND, k.command);
        os::reg_get_string(k.key, RESET_COMMAND, k.reset_command);
        os::reg_get_string(k.key, ICON, k.icon);
        k.assigned = is_program_command(k.command);
        list.push_back(std::move(k));
    }
    std::stable_sort(list.begin(), list.end(),
        [](HardwareKey const& a, HardwareKey const& b) { return os::lower(a.name) < os::lower(b.name); });
    return list;
}

int count_assignable_keys()
{
    return static_cast<int>(os::reg_enum_subkeys(KEY_TABLE).size());
}

bool assign(HardwareKey& key, core::StringView command)
{
    core::log() << u"assign:" << command << "\n";
    if (command.size() > os::REG_MAX_TEXT_LENGTH) {
        core::log() << u"assign: refused, the command is longer than " << os::REG_MAX_TEXT_LENGTH << " characters\n";
        return false;
    }
    // A button already bound to the program keeps the command it had before, or it could never get it back.
    core::String const reset = key.assigned ? key.reset_command : key.command;
    if (!write_binding(key, command, reset, false))
        return false;
    key.reset_command = reset;
    key.command = core::String(command);
    key.assigned = is_program_command(key.command);
    return true;
}

bool unassign(HardwareKey& key)
{
    // The restored command goes in first: "ResetCmd" is overwritten only once the button has it back.
    if (!write_binding(key, key.reset_command, key.command, true))
        return false;
    key.command = std::move(key.reset_command);
    key.reset_command.clear();
    key.assigned = is_program_command(key.command);
    return true;
}

std::vector<core::String> icon_candidates(core::StringView icon)
{
    std::vector<core::String> names;
    if (icon.empty())
        return names;
    auto const comma = icon.rfind(u',');
    if (comma != core::StringView::npos && icon.substr(comma + 1) != u"5" && comma > 0)
        names.emplace_back(icon.substr(0, comma));
    names.emplace_back(icon);
    return names;
}

} // namespace keys
