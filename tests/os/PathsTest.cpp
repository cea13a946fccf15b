#include <gtest/gtest.h>
#include <os/Paths.h>
#include <platform/services/shell.h>

using namespace os;

namespace {

TEST(Paths, PartsJoinsComparisonsHelpersAndMacrosExpandedOnlyAtTheStart)
{
    // The path, its directory, file name, extension, path without extension, base name and parent.
    using Parts = std::array<core::StringView, 7>;
    Parts const cases[] = { { u"\\dir.x\\file", u"\\dir.x\\", u"file", u"", u"\\dir.x\\file", u"file", u"\\dir.x\\" },
        { u"file.tar.gz", u"", u"file.tar.gz", u"gz", u"file.tar", u"file.tar", u"" },
        { u"/dir/", u"/dir/", u"", u"", u"/dir/", u"", u"/" },
        { u"/a\\b/c.mp3", u"/a\\b/", u"c.mp3", u"mp3", u"/a\\b/c", u"c", u"/a\\b/" },
        { u"name", u"", u"name", u"", u"name", u"name", u"" } };
    for (Parts const& c : cases) {
        String const parts[] = { directory_part(c[0]), file_name(c[0]), extension(c[0]), without_extension(c[0]),
            base_name(c[0]), parent_directory(c[0]) };
        EXPECT_EQ(std::vector<String>(parts, parts + 6), std::vector<String>(c.begin() + 1, c.end()))
            << core::to_utf8(c[0]);
    }
    // In root_prefix, where both kinds occur, the later first occurrence counts.
    EXPECT_EQ((std::vector { join(u"", u"a.wav"), join(u"\\dir\\", u"a.wav"), join(u"/dir", u"a.wav"),
                  root_prefix(u"/home/user/x"), root_prefix(u"card\\x/y"), root_prefix(u"plain"),
                  strip_trailing_separator(u"/a/b/") }),
        (std::vector<String> { u"a.wav", u"\\dir/a.wav", u"/dir/a.wav", u"/", u"card\\x/", u"", u"/a/b" }));
    EXPECT_EQ(
        std::tuple(same_path(u"/Media/Card/", u"/media/card"), same_path(u"/media/card2", u"/media/card"),
            is_under(u"/media/card", u"/media/CARD/My Ravelin/x.mp3"), is_under(u"/media/card/longer", u"/media/card")),
        std::tuple(true, false, true, false));
    // Scanning resumes after the inserted text.
    EXPECT_EQ(std::pair(replace_all(u"aXbXXc", u"X", u"XY"), replace_all(u"abc", u"", u"-")),
        std::pair(String(u"aXYbXYXYc"), String(u"abc")));
    String before, after;
    EXPECT_TRUE(split_at(u"key=value=x", u"=", before, after));
    EXPECT_EQ(std::tuple(before, after), std::tuple(u"key", u"value=x"));
    EXPECT_FALSE(split_at(u"novalue", u"=", before, after));
    EXPECT_EQ(std::pair(lower(u"ÄBC Дом"), upper(u"äbc")), std::pair(String(u"äbc дом"), String(u"ÄBC")));
    // Macros expand only at the start.
    String const app = expand_path(u"%app_path%");
    EXPECT_FALSE(app.empty());
    String const documents = expand_path(u"%my_documents%");
    EXPECT_TRUE(documents.ends_with(u"/Documents")) << core::to_utf8(documents);
    // Each path and its expansion; macros are case-sensitive.
    std::pair<char16_t const*, String> const macros[] = { { u"%app_path%/skins\\bin", app + u"/skins/bin" },
        { u"a/b\\c", u"a/b/c" }, { u"x%app_path%", u"x%app_path%" }, { u"%app_full_name%", app + u"/os_tests" },
        { u"%app_name%", u"os_tests" }, { u"%my_documents%\\My Ravelin", documents + u"/My Ravelin" },
        { u"%APP_PATH%", u"%APP_PATH%" } };
    for (auto const& [path, expanded] : macros)
        EXPECT_EQ(expand_path(path), expanded) << core::to_utf8(path);
}

} // namespace
