#include <TestSupport.h>
#include <gtest/gtest.h>
#include <keys/HardwareKey.h>
#include <os/Paths.h>
#include <os/Registry.h>

using namespace keys;

namespace {

core::String button_key(core::StringView sub_key)
{
    return core::String(KEY_TABLE) + u"\\" + core::String(sub_key);
}

void add_button(core::StringView sub_key, core::StringView name, core::StringView command, core::StringView icon = u"")
{
    auto const key = button_key(sub_key);
    ASSERT_TRUE(os::reg_set_string(key, u"Name", name));
    ASSERT_TRUE(os::reg_set_string(key, u"", command));
    if (!icon.empty()) {
        ASSERT_TRUE(os::reg_set_string(key, u"Icon", icon));
    }
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

struct CommandCase {
    char const* what;
    core::String command;
    bool assigned;
};

class ProgramCommand : public testing::TestWithParam<CommandCase> { };

TEST_P(ProgramCommand, CountsAsAssignedOnlyWhenItStartsInTheProgramsFolder)
{
    EXPECT_EQ(is_program_command(GetParam().command), GetParam().assigned) << GetParam().what;
}

core::String const program = os::expand_path(u"%app_full_name%");

INSTANTIATE_TEST_SUITE_P(Cases, ProgramCommand,
    testing::Values(CommandCase { "double-quoted path", u"\"" + program + u"\" record", true },
        CommandCase { "single-quoted path", u"'" + program + u"' record", true },
        CommandCase { "plain path", program + u" record", true },
        CommandCase { "two quotes", u"\"\"" + program + u"\" record", false },
        CommandCase { "another program", u"\"/usr/bin/camera\"", false }, CommandCase { "empty", u"", false }));

TEST(HardwareKeys, ListedByNameIgnoringCaseWithTheirValues)
{
    add_button(u"A", u"zoom", u"/usr/bin/zoom", u"key_camera,0");
    add_button(u"B", u"Camera", u"");
    add_button(u"C", u"record", quick_record_command());
    ASSERT_TRUE(os::reg_set_string(button_key(u"C"), u"ResetCmd", u"/usr/bin/old"));
    auto list = list_hardware_keys();
    EXPECT_EQ(count_assignable_keys(), static_cast<int>(list.size()));
    std::erase_if(list, [](HardwareKey const& k) {
        return k.key != button_key(u"A") && k.key != button_key(u"B") && k.key != button_key(u"C");
    });
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, u"Camera");
    EXPECT_EQ(list[1].name, u"record");
    EXPECT_EQ(list[2].name, u"zoom");
    EXPECT_TRUE(list[1].assigned);
    EXPECT_EQ(list[1].reset_command, u"/usr/bin/old");
    EXPECT_FALSE(list[0].assigned);
    EXPECT_EQ(list[2].icon, u"key_camera,0");
}

TEST(HardwareKeys, UnassignRestoresThePreviousCommandExactlyAlsoAfterARestart)
{
    core::String const before = u"\"/opt/vendor/app\" --mode \"a b\"";
    add_button(u"Restore", u"Restore", before);
    auto k = listed(u"Restore");
    ASSERT_TRUE(os::reg_set_dword(os::MAKER_KEY, u"Log", 1));
    ASSERT_TRUE(assign(k, quick_record_command()));
    ASSERT_TRUE(os::reg_set_dword(os::MAKER_KEY, u"Log", 0));
    EXPECT_EQ(testing_support::read_utf16_file(testing_support::test_home() + "/state/ravelin/keys_tests.txt"),
        u"assign:" + quick_record_command() + u"\n");
    EXPECT_TRUE(k.assigned);
    EXPECT_EQ(stored(u"Restore", u""), quick_record_command());

    // A second assign (another instance, a stale screen) must not lose the command to restore.
    ASSERT_TRUE(assign(k, quick_record_command()));

    auto restarted = listed(u"Restore");
    EXPECT_TRUE(restarted.assigned);
    ASSERT_TRUE(unassign(restarted));
    EXPECT_FALSE(restarted.assigned);
    EXPECT_EQ(restarted.command, before);
    EXPECT_EQ(stored(u"Restore", u""), before);
    EXPECT_EQ(listed(u"Restore").command, before);
}

TEST(HardwareKeys, ACommandLongerThanARegistryTextIsRefusedAndNothingChanges)
{
    add_button(u"Long", u"Long", u"/usr/bin/keep");
    auto k = listed(u"Long");
    core::String const too_long = u"\"" + program + u"\" " + core::String(os::REG_MAX_TEXT_LENGTH, u'x');
    EXPECT_FALSE(assign(k, too_long));
    EXPECT_EQ(k.command, u"/usr/bin/keep");
    EXPECT_FALSE(k.assigned);
    EXPECT_EQ(stored(u"Long", u""), u"/usr/bin/keep");
    EXPECT_EQ(stored(u"Long", u"ResetCmd"), u"<none>");
}

struct IconCase {
    core::String icon;
    std::vector<core::String> names;
};

class IconNames : public testing::TestWithParam<IconCase> { };

TEST_P(IconNames, TryTheTextBeforeTheLastCommaThenTheWholeValue)
{
    EXPECT_EQ(icon_candidates(GetParam().icon), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Cases, IconNames,
    testing::Values(IconCase { u"", {} }, IconCase { u"key_record", { u"key_record" } },
        IconCase { u"key_record,0", { u"key_record", u"key_record,0" } }, IconCase { u"a,b,1", { u"a,b", u"a,b,1" } },
        IconCase { u"key_record,5", { u"key_record,5" } }));

} // namespace
