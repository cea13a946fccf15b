#include <gtest/gtest.h>
#include <os/Registry.h>

using namespace os;

namespace {

constexpr char16_t KEY[] = u"HKEY_CURRENT_USER\\Software\\Korvex\\RegistryTest";

// What reading `value` under `key` as text and as a number answers: each result with what it left in
// a variable that held "unchanged" and 99.
std::tuple<bool, core::String, bool, uint32_t> read(core::StringView key, core::StringView value)
{
    core::String text = u"unchanged";
    uint32_t number = 99;
    bool const is_text = reg_get_string(key, value, text);
    return { is_text, text, reg_get_dword(key, value, number), number };
}

TEST(Registry, ValuesRoundTripUnderTheirRootsAndRefusalsChangeNothing)
{
    ASSERT_TRUE(reg_set_string(KEY, u"Format", u"Mp3Low") && reg_set_dword(KEY, u"Volume", 314572)
        && reg_set_string(KEY, u"Empty", u""));
    // Text is not a number, a number is not text.
    EXPECT_EQ(read(KEY, u"Format"), std::tuple(true, u"Mp3Low", false, 99u));
    EXPECT_EQ(read(KEY, u"Volume"), std::tuple(false, u"unchanged", true, 314572u));
    EXPECT_EQ(read(KEY, u"Empty"), std::tuple(true, u"", false, 99u));
    EXPECT_TRUE(reg_flush());

    reg_set_dword(KEY, u"Flag", 7);
    bool flag = false;
    EXPECT_EQ(std::tuple(reg_get_bool(KEY, u"Flag", &flag), reg_get_bool(KEY, u"Flag"), reg_get_bool(KEY, u"Missing")),
        std::tuple(true, true, false));
    EXPECT_TRUE(flag);
    constexpr char16_t parent[] = u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh";
    EXPECT_TRUE(reg_enum_subkeys(parent).empty());
    EXPECT_EQ(read(u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh\\Child", u"Value"),
        std::tuple(false, u"unchanged", false, 99u));
    EXPECT_EQ(reg_enum_subkeys(parent), (std::vector<core::String> { u"Child" }));
    EXPECT_TRUE(reg_enum_subkeys(u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh\\Child").empty());
    core::String text;
    uint32_t number = 0;
    // Roots are case-sensitive.
    EXPECT_EQ(
        std::tuple(reg_set_string(u"HKEY_CURRENT_CONFIG\\Software", u"A", u"x"),
            reg_get_string(u"HKEY_CURRENT_CONFIG\\Software", u"A", text), reg_set_dword(u"Software\\Korvex", u"A", 1),
            reg_get_dword(u"hkey_current_user\\Software", u"A", number), reg_enum_subkeys(u"HKEY_NONE").empty()),
        std::tuple(false, false, false, false, true));

    reg_set_dword(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Active Call Count", 1);
    EXPECT_FALSE(reg_get_dword(u"HKEY_CURRENT_USER\\System\\State\\Phone", u"Active Call Count", number));
    EXPECT_EQ(read(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Active Call Count"),
        std::tuple(false, u"unchanged", true, 1u));
    // Text longer than a reader takes is refused, not cut.
    core::String const longest(REG_MAX_TEXT_LENGTH, u'a');
    ASSERT_TRUE(reg_set_string(KEY, u"Long", longest) && !reg_set_string(KEY, u"Long", longest + u"b"));
    EXPECT_EQ(read(KEY, u"Long"), std::tuple(true, longest, false, 99u));
}

} // namespace
