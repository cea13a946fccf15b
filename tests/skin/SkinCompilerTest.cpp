#include "SkinTestSupport.h"

using namespace skin_testing;

namespace {

// Every fault is one line on standard error naming the file, and a failure exit.
TEST(SkinCompiler, FaultsAreNamedInOneLineAndKeysSortByCodeUnit)
{
    std::pair<char const*, char const*> const faults[] = {
        // What stands inside <skin>, and a part of the message.
        { "<element name=\"A\">", "line" },
        { "<element/>", "needs a name" },
        { "<element name=\"A\"><int key=\"x\" value=\"1x\"/></element>", "not a number" },
        { "<element name=\"A\"><point key=\"p\" x=\"40000\" y=\"0\"/></element>", "out of range" },
        { "<element name=\"A\"><int key=\"x\" value=\"1\"/><int key=\"x\" value=\"2\"/></element>", "given twice" },
        { "<element name=\"A\"/><element name=\"A\"/>", "used twice" },
        { "<element name=\"A\"><picture key=\"p\" src=\"grid.png\" corners=\"0 0 1 1 2 2 11 10\"/></element>",
            "leaves the picture" },
        { "<element name=\"A\"><picture key=\"p\" src=\"none.png\"/></element>", "none.png" },
        { "<element name=\"A\"><color key=\"c\" value=\"#12345\"/></element>", "#RRGGBB" },
        { "<element name=\"A\"><float key=\"f\" value=\"1\"/></element>", "unknown" },
        { "<element name=\"A\" type=\"waveform\"><int key=\"bar_width\" value=\"0\"/></element>",
            "out of range 1..16" },
        { "<element name=\"A\"><element type=\"waveform\"><int key=\"bar_gap\" value=\"17\"/></element></element>",
            "\"bar_gap\" 17" },
        { "<element name=\"A\" type=\"waveform\"><string key=\"color_wave\" value=\"red\"/></element>",
            "must be a <color>" },
    };
    for (auto const& [body, message] : faults) {
        std::string const dir = fresh_dir("skinc");
        write_file(dir + "/bad.xml", std::string("<skin>\n") + body + "\n</skin>\n");
        std::filesystem::copy_file(source_dir() + "/tests/skin/data/grid.png", dir + "/grid.png");
        expect_refused(run(SKINC + " " + dir + "/bad.xml -o " + dir + "/bad.skin"), 1, message, dir + "/bad.skin", 1,
            "ravelin-skinc: " + dir + "/bad.xml: ");
    }
    // Keys sort by UTF-16 code unit: a surrogate pair (U+1F600) comes before U+FF21, and every key is found.
    std::string const dir = fresh_dir("skinc");
    std::vector<core::String> const keys
        = { u"\uFF21", u"\U0001F600", u"z", u"Z", u"\u00E9", u"a_b", u"a", u"\u0436", u"ab" };
    std::string body = "<skin><element name=\"\u00C9cran\">";
    for (size_t i = 0; i < keys.size(); ++i)
        body += "<int key=\"" + core::to_utf8(keys[i]) + "\" value=\"" + std::to_string(i) + "\"/>";
    write_file(dir + "/keys.xml", body + "</element></skin>");
    auto const result = run(SKINC + " " + dir + "/keys.xml -o " + dir + "/keys.skin");
    ASSERT_EQ(result.exit_code, 0) << result.error;
    skin::Properties properties;
    ASSERT_TRUE(properties.load_skin(core::from_utf8(dir + "/keys.skin"), {}));
    auto const record = properties.find_entry(u"\u00C9cran");
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ(properties.lookup_int(record, keys[i], -1), static_cast<int32_t>(i)) << i;
    auto const dump = run(SKINC + " --dump " + dir + "/keys.skin");
    EXPECT_LT(dump.output.find("int \xF0\x9F\x98\x80 = 1"), dump.output.find("int \xEF\xBC\xA1 = 0")) << dump.output;
    std::string const dumped = fresh_dir("skinc");
    std::string const good = read_file(COMPILED_SKINS + "/format.skin");
    write_file(dumped + "/cut.skin", good.substr(0, good.size() - 3));
    write_file(dumped + "/text.skin", "hello");
    for (std::string const name : { "cut.skin", "text.skin", "missing.skin" })
        expect_refused(run(SKINC + " --dump " + dumped + "/" + name), 1, "", dumped + "/none", 1,
            "ravelin-skinc: " + dumped + "/" + name + ": ");
    // A usage error (exit 2) is printed with the five lines of usage; any other failure (exit 1) is one line.
    struct {
        char const* arguments; // after "--render", the skin named inside the test skins folder
        int exit_code;
        char const* message;
    } const renders[] = {
        { "golden.skin Nothing --size 10x10", 1, "has no entry Nothing" },
        { "widgets.skin Unregistered --size 10x10", 1, "widget" },
        { "grid.bmp Panel --size 10x10", 1, "cannot be loaded as a skin" },
        { "golden.skin Panel --size 10y10", 2, "usage" },
        { "golden.skin Panel --size 0x10", 2, "usage" },
        { "golden.skin Panel --size 10x10@x", 2, "usage" },
    };
    for (auto const& [arguments, exit_code, message] : renders) {
        std::string const out = fresh_dir("render") + "/out.png";
        expect_refused(run(SKINC + " --render " + COMPILED_SKINS + "/" + arguments + " --out " + out), exit_code,
            message, out, exit_code == 1 ? 1 : 5);
    }
    // A sample that cannot be followed is one line naming the file and line, or the missing element.
    std::pair<char const*, char const*> const samples[] = {
        { "text frmArtist Ann\n", "sample.txt:1: not understood" },
        { "[Panel]\nvalue bar 1.5\n", "sample.txt:2: not understood" },
        { "[Panel]\nrow a=b\n", "sample.txt:2: not understood" },
        { "[Panel]\nhide nothingHere\n", "nothingHere" },
        { "[Panel]\nover Missing\n", "Missing" },
    };
    for (auto const& [sample, message] : samples) {
        std::string const dir = fresh_dir("sample");
        write_file(dir + "/sample.txt", sample);
        expect_refused(run(SKINC + " --render " + COMPILED_SKINS + "/golden.skin Panel --size 80x60 --out " + dir
                           + "/out.png --sample " + dir + "/sample.txt"),
            1, message, dir + "/out.png");
    }
}

struct Golden {
    char const *name, *entry, *size;
};

class GoldenPicture : public testing::TestWithParam<Golden> { };

// The rendering of a small skin, pixel for pixel. RAVELIN_UPDATE_GOLDEN=1 writes new references.
TEST_P(GoldenPicture, MatchesTheReference)
{
    auto const& g = GetParam();
    std::string const output = rendered_dir() + "/" + g.name + ".png";
    auto const result = run(
        SKINC + " --render " + COMPILED_SKINS + "/golden.skin " + g.entry + " --size " + g.size + " --out " + output);
    ASSERT_EQ(result.exit_code, 0) << result.error;
    expect_golden_file(g.name, output);
}

INSTANTIATE_TEST_SUITE_P(Skins, GoldenPicture,
    testing::Values(Golden { "panel_96", "Panel", "160x100" }, Golden { "panel_192", "Panel", "320x200@192" },
        Golden { "widgets_96", "Widgets", "160x150" }),
    [](auto const& info) { return std::string(info.param.name); });

} // namespace
