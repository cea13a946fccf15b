#include <TestSupport.h>
#include <lang/Dictionary.h>

using namespace lang;
using namespace testing_support;

namespace {

auto const parse = [](std::string const& bytes) {
    return Dictionary::parse(reinterpret_cast<uint8_t const*>(bytes.data()), bytes.size());
};

// Each line and the value it gives the key "Boost".
TEST(Dictionary, LinesGiveTheirValuesInWideAndNarrowFilesAndAFailedLoadKeepsThem)
{
    std::pair<char const*, char16_t const*> const lines[]
        = { { "Boost=Amplify", u"Amplify" }, { "Boost= Amplify", u" Amplify" }, { "Boost Amplify", u"Amplify" },
              { "Boost = Amplify", u"= Amplify" }, { " \t Boost\t Amplify more  \r\n", u"Amplify more  " },
              { "Boost", u"" }, { "Boost=", u"" }, { "\n\n  Boost==x\n", u"=x" } };
    for (auto const& [line, value] : lines)
        EXPECT_EQ(parse(line), (Dictionary::Map { { u"Boost", value } })) << line;
    EXPECT_EQ(parse("=lost\r\nA=1\rB=2\nA=3\n   \n C Sea\n"),
        (Dictionary::Map { { u"A", u"3" }, { u"B", u"2" }, { u"C", u"Sea" } }));
    // Wide and narrow files agree on ASCII.
    char const* text = "Boost=Amplify\r\nDelete_this = Delete this?\nskin_ProgramName\tRavelin\n";
    EXPECT_EQ(parse(text), parse(utf16_file_bytes(core::from_utf8(text))));
    // Narrow text is read byte for byte; wide text carries any character; an odd last byte of a wide
    // file is ignored.
    EXPECT_EQ(std::tuple(parse("K=\xE9")[u"K"], parse(utf16_file_bytes(u"K=\u041F\u0440\u0438"))[u"K"],
                  parse(utf16_file_bytes(u"K=v") + "x")[u"K"]),
        std::tuple(u"\u00E9", u"\u041F\u0440\u0438", u"v"));
    // A failed load keeps what the dictionary had.
    std::string const dir = fresh_dir("dict");
    write_file(dir + "/english.lng", "Boost=Amplify\n");
    Dictionary dictionary;
    core::String const path = core::from_utf8(dir + "/english.lng");
    ASSERT_TRUE(dictionary.load(path) && !dictionary.load(core::from_utf8(dir + "/missing.lng")));
    EXPECT_EQ(std::tuple(dictionary.path(), dictionary.translate(u"Boost"), dictionary.translate(u"Sorry_no_memory"),
                  dictionary.lookup(u"Boost", u"x"), dictionary.lookup(u"boost", u"x")),
        std::tuple(path, u"Amplify", u"Sorry_no_memory", u"Amplify", u"x"));
    write_file(dir + "/empty.lng", "");
    EXPECT_TRUE(dictionary.load(core::from_utf8(dir + "/empty.lng")) && dictionary.entries().empty());
}

} // namespace
