#include "SkinTestSupport.h"

#include <skin/SkinListener.h>

using namespace skin;
using namespace skin_testing;

namespace {

class SkinFormat : public testing::TestWithParam<int32_t> {
protected:
    void SetUp() override { ASSERT_TRUE(properties.load_skin(skin_path("format.skin"), display(GetParam()))); }
    int32_t shift() const { return GetParam() >= 192 ? 1 : 0; }
    ElementRecord form() const { return properties.find_entry(u"FormMain"); }
    Properties properties;
};

// Keys compare by code unit, each kind in its own list; colours have full alpha, defaults their own.
TEST_P(SkinFormat, LookupsRecordsAndNames)
{
    EXPECT_EQ(properties.scale_shift(), shift());
    std::pair<char16_t const*, int32_t> const ints[] = { { u"Text", 1 }, { u"text", 2 }, { u"grow", 3 },
        { u"grow_min", 4 }, { u"gro", -9 }, { u"TEXT", -9 }, { u"x", -7 }, { u"size", -9 } };
    for (auto const& [key, value] : ints)
        EXPECT_EQ(properties.lookup_int(form(), key, -9), value) << core::to_utf8(key);
    EXPECT_EQ(std::tuple(properties.lookup_point(form(), u"x", {}), properties.lookup_point(form(), u"grow", { 5, 5 })),
        std::tuple(Point { 10 << shift(), -3 * (1 << shift()) }, Point { 5, 5 }));
    EXPECT_EQ(std::tuple(properties.lookup_string(form(), u"text", u"none"),
                  properties.lookup_string(form(), u"x", u"none"), properties.lookup_string(form(), u"type", u"")),
        std::tuple(u"Boost", u"none", u"node"));
    EXPECT_EQ(std::tuple(properties.lookup_color(form(), u"background_color", {}),
                  properties.lookup_color(form(), u"foreground", Color { 1, 2, 3, 7 })),
        std::tuple(Color { 16, 32, 48, 255 }, Color { 1, 2, 3, 7 }));
    PictureRef const image = properties.lookup_picture(form(), u"image", {});
    ASSERT_FALSE(image.empty());
    int32_t const s = shift();
    EXPECT_EQ(std::tuple(image.corners[0], image.corners[1], image.corners[3], image.scale_shift, image.flag),
        std::tuple(Point { 0, 0 }, Point { 4 << s, 4 << s }, Point { 10 << s, 10 << s }, s, 1));
    EXPECT_EQ(std::tuple(properties.pictures()[0], properties.picture_holders()[0]),
        std::tuple(image.picture, image.picture.get()));
    EXPECT_EQ(image.picture->bitmap().at(3, 7), grid_pixel(3, 7));
    // Transparent PNG pixels become the key; opaque ones carry the opaque bit.
    PictureRef const key = properties.lookup_picture(form(), u"key", {});
    EXPECT_EQ(std::tuple(key.picture->bitmap().at(0, 0), key.picture->bitmap().at(1, 0)), std::tuple(0xF81F, 0xF83F));
    EXPECT_TRUE(properties.lookup_picture(form(), u"missing", {}).empty());
    FontHandle const fallback = std::make_shared<FontRep const>(FontDesc::application_default());
    FontHandle const font = properties.lookup_font(form(), u"font", fallback);
    FontDesc const& d = font->description();
    EXPECT_EQ(std::tuple(d.size, d.bold, d.scale, font->requested_height()),
        std::tuple(12, true, 1 << shift(), shift() ? -32 : -16));
    EXPECT_EQ(properties.lookup_font(form(), u"image", fallback), fallback);
    ASSERT_EQ(properties.child_count(form()), 2u);
    ElementRecord const bare = properties.child_record(form(), 0);
    EXPECT_EQ(std::tuple(properties.lookup_int(bare, u"Text", 42), properties.lookup_string(bare, u"type", u"?"),
                  properties.lookup_point(bare, u"x", { 1, 1 })),
        std::tuple(42, u"?", Point { 1, 1 }));
    ASSERT_EQ(properties.child_count(bare), 2u);
    EXPECT_EQ(properties.lookup_string(properties.child_record(bare, 1), u"id", u""), u"second");
    ElementRecord const button = properties.child_record(form(), 1);
    EXPECT_EQ(
        std::tuple(properties.child_count(button), properties.lookup_int(button, u"alpha", -1)), std::tuple(0u, 128));
    EXPECT_TRUE(!properties.child_record(form(), 2) && properties.lookup_int(ElementRecord {}, u"alpha", -1) == -1);
    for (auto name :
        { u"Alpha", u"FormConfirmation", u"FormMain", u"FormRecording", u"FormSplash", u"Zeta", u"formMain" })
        EXPECT_TRUE(properties.find_entry(name)) << core::to_utf8(name);
    for (auto name : { u"", u"FormMai", u"FormMainX", u"formmain", u"Beta", u"zeta" })
        EXPECT_FALSE(properties.find_entry(name)) << core::to_utf8(name);
    EXPECT_NE(properties.find_entry(u"FormMain"), properties.find_entry(u"formMain"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, SkinFormat, testing::Values(96, 191, 192, 288));

// Before any skin nothing is found, and a reload with no listener is harmless; a skin without tables loads.
TEST(Properties, EmptyFindsNothingAndSkinWithoutTablesLoads)
{
    Properties properties;
    EXPECT_FALSE(properties.has_skin() || properties.find_entry(u"FormMain"));
    properties.send_reload_skin();
    ASSERT_TRUE(properties.load_skin(skin_path("plain.skin"), display(96)));
    ElementRecord const splash = properties.find_entry(u"FormSplash");
    EXPECT_EQ(
        std::tuple(properties.lookup_int(splash, u"delay", 0), properties.lookup_string(splash, u"delay", u"d"),
            properties.lookup_picture(splash, u"pos", {}).empty(), properties.lookup_font(splash, u"pos", nullptr)),
        std::tuple(3, u"d", true, nullptr));
    EXPECT_TRUE(properties.pictures().empty() && properties.fonts().empty() && properties.strings().empty());
}

class LoadFailure : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(properties.load_skin(skin_path("format.skin"), display(192))); }

    // The previous skin, pictures and scale included, is still fully usable.
    void expect_previous_skin()
    {
        ElementRecord const form = properties.find_entry(u"FormMain");
        EXPECT_EQ(std::tuple(properties.scale_shift(), properties.lookup_string(form, u"text", u""),
                      properties.lookup_picture(form, u"image", {}).picture->bitmap().at(1, 1)),
            std::tuple(1, u"Boost", grid_pixel(1, 1)));
        EXPECT_FALSE(properties.find_entry(u"FormSplash") == ElementRecord {});
    }

    std::string dir = fresh_dir("skins");
    Properties properties;
};

// A missing or damaged file is logged with the reason; one that is no skin at all (another magic, shorter
// than the header) is refused silently.
TEST_F(LoadFailure, RefusedFilesAreLoggedAndLeaveThePreviousSkin)
{
    std::string const good = read_file(COMPILED_SKINS + "/format.skin");
    // The string area far beyond the end.
    write_file(dir + "/damaged.skin", good.substr(0, 84) + "\xF0\xFF" + good.substr(86));
    write_file(dir + "/magic.skin", "X" + good.substr(1));
    write_file(dir + "/magic_end.skin", good.substr(0, 7) + '\0' + good.substr(8));
    write_file(dir + "/short.skin", good.substr(0, 91));
    std::pair<char const*, char16_t const*> const cases[]
        = { { "none.skin", u"] failed to load\n" }, { "damaged.skin", u"] is damaged: " }, { "magic.skin", nullptr },
              { "magic_end.skin", nullptr }, { "short.skin", nullptr } };
    for (auto const& [name, logged] : cases) {
        core::String const path = core::from_utf8(dir + "/" + name);
        LogCapture log;
        EXPECT_FALSE(properties.load_skin(path, display(96))) << name;
        EXPECT_EQ(log.contains(u"Error"), logged != nullptr) << name;
        EXPECT_TRUE(log.contains(logged ? u"Error: skin [" + path + logged : u"")) << name;
        expect_previous_skin();
    }
    for (char const* file : { "/format.skin", "/grid.bmp" })
        std::filesystem::copy_file(COMPILED_SKINS + file, dir + file);
    EXPECT_FALSE(properties.load_skin(core::from_utf8(dir + "/format.skin"), display(96)));
    expect_previous_skin();
    ElementRecord const old = properties.find_entry(u"FormMain");
    ASSERT_TRUE(properties.load_skin(skin_path("plain.skin"), display(96)));
    EXPECT_EQ(std::tuple(properties.lookup_int(old, u"Text", -5), properties.child_count(old)), std::tuple(-5, 0u));
}

class CountingSkinListener final : public SkinListener {
public:
    using SkinListener::SkinListener;
    void on_reload_skin(PropertiesImpl& properties) override
    {
        ++calls;
        seen = &properties;
        if (on_call)
            on_call();
    }
    int calls = 0;
    PropertiesImpl* seen = nullptr;
    std::function<void()> on_call;
};

TEST(SkinListener, ReloadReachesEveryListenerAndKeepsTheDictionary)
{
    Properties listened;
    ASSERT_TRUE(listened.load_skin(skin_path("plain.skin"), display(96)));
    auto first = std::make_unique<CountingSkinListener>(listened);
    auto second = std::make_unique<CountingSkinListener>(listened);
    ASSERT_TRUE(listened.load_skin(skin_path("format.skin"), display(96))
        && listened.load_skin(skin_path("plain.skin"), display(96)));
    listened.send_reload_skin();
    EXPECT_EQ(std::tuple(first->calls, second->calls), std::tuple(1, 1));
    // Whichever is told first destroys the other one.
    first->on_call = [&] { second.reset(); };
    second->on_call = [&] { first.reset(); };
    listened.send_reload_skin();
    CountingSkinListener* const survivor = first ? first.get() : second.get();
    ASSERT_TRUE((first == nullptr) != (second == nullptr));
    EXPECT_EQ(std::tuple(survivor->calls, survivor->seen), std::tuple(2, &listened));
    survivor->on_call = nullptr;
    listened.send_reload_skin();
    EXPECT_EQ(survivor->calls, 3);
    std::string const lang_dir = fresh_dir("lang");
    write_file(lang_dir + "/english.lng", "Boost=Amplify\n");
    Properties translating;
    ASSERT_TRUE(translating.dictionary().load(core::from_utf8(lang_dir + "/english.lng")));
    EXPECT_EQ(std::tuple(translating.translate(u"Boost"), translating.translate(u"Delete_this")),
        std::tuple(u"Amplify", u"Delete_this"));
    // The dictionary stays with the live object across skin loads.
    EXPECT_TRUE(
        translating.load_skin(skin_path("plain.skin"), display(96)) && translating.translate(u"Boost") == u"Amplify");
}

} // namespace
