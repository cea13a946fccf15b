#include <TestSupport.h>
#include <keys/HardwareKey.h>
#include <os/Paths.h>
#include <os/Registry.h>

using namespace keys;

namespace {

auto const button_key
    = [](core::StringView sub_key) { return core::String(KEY_TABLE) + u"\\" + core::String(sub_key); };

void add_button(core::StringView sub_key, core::StringView name, core::StringView command, core::StringView icon = u"")
{
    ASSERT_TRUE(os::reg_set_string(button_key(sub_key), u"Name", name)
        && os::reg_set_string(button_key(sub_key), u"", command)
        && (icon.empty() || os::reg_set_string(button_key(sub_key), u"Icon", icon)));
}

core::String stored(core::StringView sub_key, core::StringView value)
{
    core::String text = u"<none>";
    os::reg_get_string(button_key(sub_key), value, text);
    return text;
}

HardwareKey listed(core::StringView sub_key)
{
    for (auto& k : list_hardware_keys())
        if (k.key == button_key(sub_key))
            return k;
    ADD_FAILURE() << "button not listed";
    return {};
}

// A button's fields in one line: name|command|reset command|icon|assigned or free.
std::string fields(HardwareKey const& k)
{
    return core::to_utf8(k.name + u"|" + k.command + u"|" + k.reset_command + u"|" + k.icon + u"|")
        + (k.assigned ? "assigned" : "free");
}

core::String const program = os::expand_path(u"%app_full_name%");

// A command counts as assigned only when it starts in the program's folder.
TEST(HardwareKeys, AssignedCommandsIconNamesListingAndUnassigning)
{
    std::tuple<char const*, core::String, bool> const cases[]
        = { { "double-quoted path", u"\"" + program + u"\" record", true },
              { "single-quoted path", u"'" + program + u"' record", true },
              { "plain path", program + u" record", true }, { "two quotes", u"\"\"" + program + u"\" record", false },
              { "another program", u"\"/usr/bin/camera\"", false }, { "empty", u"", false } };
    for (auto const& [what, command, assigned] : cases)
        EXPECT_EQ(is_program_command(command), assigned) << what;
    // The icon names tried: the text before the last comma, then the whole value.
    std::pair<core::String, std::vector<core::String>> const icons[]
        = { { u"", {} }, { u"key_record", { u"key_record" } }, { u"key_record,0", { u"key_record", u"key_record,0" } },
              { u"a,b,1", { u"a,b", u"a,b,1" } }, { u"key_record,5", { u"key_record,5" } } };
    for (auto const& [icon, names] : icons)
        EXPECT_EQ(icon_candidates(icon), names) << core::to_utf8(icon);
    // Listed by name ignoring case, with their values.
    add_button(u"A", u"zoom", u"/usr/bin/zoom", u"key_camera,0");
    add_button(u"B", u"Camera", u"");
    add_button(u"C", u"record", quick_record_command());
    ASSERT_TRUE(os::reg_set_string(button_key(u"C"), u"ResetCmd", u"/usr/bin/old"));
    auto list = list_hardware_keys();
    EXPECT_EQ(count_assignable_keys(), static_cast<int>(list.size()));
    std::string shown;
    for (auto const& k : list)
        if (k.key == button_key(u"A") || k.key == button_key(u"B") || k.key == button_key(u"C"))
            shown += fields(k) + "\n";
    EXPECT_EQ(shown,
        "Camera||||free\nrecord|" + core::to_utf8(quick_record_command())
            + "|/usr/bin/old||assigned\nzoom|/usr/bin/zoom||key_camera,0|free\n");
    // Unassigning restores the previous command exactly, also after a restart.
    core::String const before = u"\"/opt/vendor/app\" --mode \"a b\"";
    add_button(u"Restore", u"Restore", before);
    auto k = listed(u"Restore");
    ASSERT_TRUE(os::reg_set_dword(os::MAKER_KEY, u"Log", 1) && assign(k, quick_record_command())
        && os::reg_set_dword(os::MAKER_KEY, u"Log", 0));
    EXPECT_EQ(testing_support::read_utf16_file(testing_support::test_home() + "/state/ravelin/keys_tests.txt"),
        u"assign:" + quick_record_command() + u"\n");
    EXPECT_EQ(std::tuple(k.assigned, stored(u"Restore", u"")), std::tuple(true, quick_record_command()));

    // A second assign (another instance, a stale screen) must not lose the command to restore.
    ASSERT_TRUE(assign(k, quick_record_command()));

    auto restarted = listed(u"Restore");
    ASSERT_TRUE(restarted.assigned && unassign(restarted));
    EXPECT_EQ(std::tuple(restarted.assigned, restarted.command, stored(u"Restore", u""), listed(u"Restore").command),
        std::tuple(false, before, before, before));
    // A command longer than a registry text is refused and nothing changes.
    add_button(u"Long", u"Long", u"/usr/bin/keep");
    auto long_key = listed(u"Long");
    EXPECT_FALSE(assign(long_key, u"\"" + program + u"\" " + core::String(os::REG_MAX_TEXT_LENGTH, u'x')));
    EXPECT_EQ(std::tuple(fields(long_key), stored(u"Long", u""), stored(u"Long", u"ResetCmd")),
        std::tuple("Long|/usr/bin/keep|||free", u"/usr/bin/keep", u"<none>"));
}

} // namespace
