#include "SkinTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <skin/Properties.h>

using namespace testing_support;

namespace {

std::string skinc()
{
    return bin_dir() + "/ravelin-skinc";
}

struct BadSource {
    char const* name;
    char const* body; // inside <skin>
    char const* message;
};

class SkinCompilerError : public testing::TestWithParam<BadSource> { };

// Every fault is one line on standard error naming the file, and a failure exit.
TEST_P(SkinCompilerError, IsOneLineNamingTheFile)
{
    std::string const dir = fresh_dir("skinc");
    write_file(dir + "/bad.xml", std::string("<skin>\n") + GetParam().body + "\n</skin>\n");
    std::filesystem::copy_file(source_dir() + "/tests/skin/data/grid.png", dir + "/grid.png");
    auto const result = run(skinc() + " " + dir + "/bad.xml -o " + dir + "/bad.skin");
    EXPECT_NE(result.exit_code, 0);
    EXPECT_EQ(result.error.rfind("ravelin-skinc: " + dir + "/bad.xml: ", 0), 0u) << result.error;
    EXPECT_NE(result.error.find(GetParam().message), std::string::npos) << result.error;
    EXPECT_EQ(std::count(result.error.begin(), result.error.end(), '\n'), 1) << result.error;
    EXPECT_FALSE(file_exists(dir + "/bad.skin"));
}

INSTANTIATE_TEST_SUITE_P(Faults, SkinCompilerError,
    testing::Values(BadSource { "broken_xml", "<element name=\"A\">", "line" },
        BadSource { "no_name", "<element/>", "needs a name" },
        BadSource { "bad_number", "<element name=\"A\"><int key=\"x\" value=\"1x\"/></element>", "not a number" },
        BadSource {
            "point_range", "<element name=\"A\"><point key=\"p\" x=\"40000\" y=\"0\"/></element>", "out of range" },
        BadSource { "repeated_key",
            "<element name=\"A\"><int key=\"x\" value=\"1\"/><int key=\"x\" value=\"2\"/></element>", "given twice" },
        BadSource { "repeated_entry", "<element name=\"A\"/><element name=\"A\"/>", "used twice" },
        BadSource { "corners_outside",
            "<element name=\"A\"><picture key=\"p\" src=\"grid.png\" corners=\"0 0 1 1 2 2 11 10\"/></element>",
            "leaves the picture" },
        BadSource { "missing_png", "<element name=\"A\"><picture key=\"p\" src=\"none.png\"/></element>", "none.png" },
        BadSource { "bad_colour", "<element name=\"A\"><color key=\"c\" value=\"#12345\"/></element>", "#RRGGBB" },
        BadSource { "unknown_kind", "<element name=\"A\"><float key=\"f\" value=\"1\"/></element>", "unknown" }),
    [](auto const& info) { return std::string(info.param.name); });

// Keys sort by UTF-16 code unit: a surrogate pair (U+1F600) comes before U+FF21, and every key is found.
TEST(SkinCompiler, KeysSortByCodeUnit)
{
    std::string const dir = fresh_dir("skinc");
    std::vector<core::String> const keys
        = { u"\uFF21", u"\U0001F600", u"z", u"Z", u"\u00E9", u"a_b", u"a", u"\u0436", u"ab" };
    std::string body = "<skin><element name=\"\u00C9cran\">";
    for (size_t i = 0; i < keys.size(); ++i)
        body += "<int key=\"" + core::to_utf8(keys[i]) + "\" value=\"" + std::to_string(i) + "\"/>";
    write_file(dir + "/keys.xml", body + "</element></skin>");
    auto const result = run(skinc() + " " + dir + "/keys.xml -o " + dir + "/keys.skin");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    skin::Properties properties;
    ASSERT_TRUE(properties.load_skin(core::from_utf8(dir + "/keys.skin"), {}));
    auto const record = properties.find_entry(u"\u00C9cran");
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(properties.lookup_int(record, keys[i], -1), static_cast<int32_t>(i)) << i;
    auto const dump = run(skinc() + " --dump " + dir + "/keys.skin");
    EXPECT_LT(dump.output.find("int \xF0\x9F\x98\x80 = 1"), dump.output.find("int \xEF\xBC\xA1 = 0")) << dump.output;
}

TEST(SkinCompiler, DumpPrintsEveryProperty)
{
    auto const result = run(skinc() + " --dump " + skin_testing::compiled_skins() + "/format.skin");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    for (char const* line : { "skin: 2 pictures, 2 fonts, 9 strings\n", "entry FormMain\n", "  int Text = 1\n",
             "  point x = 10 -3\n", "  font font = 0 {12 1 0 0 Tahoma}\n", "  string text = 2 {Boost}\n",
             "  picture image = 0 {grid} corners 0 0 4 4 6 6 10 10 flag 1\n", "  color background_color = 16 32 48\n",
             "  child 1\n    int alpha = 128\n" })
        EXPECT_NE(result.output.find(line), std::string::npos) << line;
}

TEST(SkinCompiler, DumpRefusesWhatIsNotASkin)
{
    std::string const dir = fresh_dir("skinc");
    std::string damaged = read_file(skin_testing::compiled_skins() + "/format.skin");
    damaged.resize(damaged.size() - 3);
    write_file(dir + "/cut.skin", damaged);
    write_file(dir + "/text.skin", "hello");
    for (std::string const name : { "cut.skin", "text.skin", "missing.skin" }) {
        auto const result = run(skinc() + " --dump " + dir + "/" + name);
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_EQ(result.error.rfind("ravelin-skinc: " + dir + "/" + name + ": ", 0), 0u) << result.error;
    }
}

} // namespace
