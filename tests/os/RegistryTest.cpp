#include <gtest/gtest.h>
#include <os/Registry.h>

using namespace os;

namespace {

constexpr char16_t KEY[] = u"HKEY_CURRENT_USER\\Software\\Korvex\\RegistryTest";

TEST(Registry, TextNumbersAndBooleansRoundTripAndKeepTheirKinds)
{
    ASSERT_TRUE(reg_set_string(KEY, u"Format", u"Mp3Low"));
    ASSERT_TRUE(reg_set_dword(KEY, u"Volume", 314572));
    core::String text = u"unchanged";
    uint32_t number = 99;
    EXPECT_TRUE(reg_get_string(KEY, u"Format", text));
    EXPECT_EQ(text, u"Mp3Low");
    EXPECT_TRUE(reg_get_dword(KEY, u"Volume", number));
    EXPECT_EQ(number, 314572u);

    text = u"unchanged";
    number = 99;
    EXPECT_FALSE(reg_get_string(KEY, u"Volume", text)) << "a number is not text";
    EXPECT_EQ(text, u"unchanged");
    EXPECT_FALSE(reg_get_dword(KEY, u"Format", number)) << "text is not a number";
    EXPECT_EQ(number, 99u);

    ASSERT_TRUE(reg_set_string(KEY, u"Empty", u""));
    text = u"x";
    EXPECT_TRUE(reg_get_string(KEY, u"Empty", text));
    EXPECT_EQ(text, u"");
    EXPECT_TRUE(reg_flush());

    reg_set_dword(KEY, u"Flag", 7);
    bool flag = false;
    EXPECT_TRUE(reg_get_bool(KEY, u"Flag", &flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(reg_get_bool(KEY, u"Flag"));
    EXPECT_FALSE(reg_get_bool(KEY, u"Missing"));
}

TEST(Registry, ReadingUnderAMissingKeyFailsAndCreatesTheKey)
{
    constexpr char16_t parent[] = u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh";
    EXPECT_TRUE(reg_enum_subkeys(parent).empty());
    uint32_t number = 5;
    EXPECT_FALSE(reg_get_dword(u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh\\Child", u"Value", number));
    EXPECT_EQ(number, 5u);
    EXPECT_EQ(reg_enum_subkeys(parent), (std::vector<core::String> { u"Child" }));
    EXPECT_TRUE(reg_enum_subkeys(u"HKEY_CURRENT_USER\\Software\\Korvex\\Fresh\\Child").empty());
}

TEST(Registry, UnknownRootsFailEveryOperationAndRootsAreSeparate)
{
    core::String text;
    uint32_t number = 0;
    EXPECT_FALSE(reg_set_string(u"HKEY_CURRENT_CONFIG\\Software", u"A", u"x"));
    EXPECT_FALSE(reg_get_string(u"HKEY_CURRENT_CONFIG\\Software", u"A", text));
    EXPECT_FALSE(reg_set_dword(u"Software\\Korvex", u"A", 1));
    EXPECT_FALSE(reg_get_dword(u"hkey_current_user\\Software", u"A", number)) << "roots are case-sensitive";
    EXPECT_TRUE(reg_enum_subkeys(u"HKEY_NONE").empty());

    reg_set_dword(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Active Call Count", 1);
    EXPECT_FALSE(reg_get_dword(u"HKEY_CURRENT_USER\\System\\State\\Phone", u"Active Call Count", number));
    EXPECT_TRUE(reg_get_dword(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Active Call Count", number));
    EXPECT_EQ(number, 1u);
}

TEST(Registry, TextLongerThanAReaderTakesIsRefusedNotCut)
{
    core::String const longest(REG_MAX_TEXT_LENGTH, u'a');
    ASSERT_TRUE(reg_set_string(KEY, u"Long", longest));
    EXPECT_FALSE(reg_set_string(KEY, u"Long", longest + u"b"));
    core::String text;
    ASSERT_TRUE(reg_get_string(KEY, u"Long", text));
    EXPECT_EQ(text, longest);
}

} // namespace
