#include <TestSupport.h>
#include <algorithm>
#include <document/Document.h>
#include <document/Settings.h>
#include <os/Registry.h>
#include <unistd.h>

using namespace document;
using testing_support::bin_dir;
using testing_support::run;

namespace {

// All the values, in one line to compare at once.
std::string text(Settings const& s)
{
    std::ostringstream out;
    out << s.auto_record << " " << s.speaker << " " << core::to_utf8(s.format) << " " << core::to_utf8(s.boost) << " "
        << s.volume << " " << s.vas_level << " '" << core::to_utf8(s.path) << "'";
    return out.str();
}

Settings loaded(bool with_path = true)
{
    Settings s;
    s.load_first();
    s.load_secondary(with_path);
    return s;
}

uint32_t stored_dword(char16_t const* name)
{
    uint32_t stored = 0;
    EXPECT_TRUE(os::reg_get_dword(PRODUCT_KEY, name, stored)) << core::to_utf8(name);
    return stored;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::forget_settings(); }
    void TearDown() override { testing_support::forget_settings(); }
};

TEST_F(SettingsTest, SaveWritesEveryValueAndLoadReadsThemBack)
{
    Settings s { true, true, u"Mp3High", u"Boost3", 0.25, 0.125 };
    s.save();
    s.save_path(u"/x/Record 1.mp3");
    EXPECT_EQ(text(loaded()), "1 1 Mp3High Boost3 0.25 0.125 '/x/Record 1.mp3'");
    Settings u;
    u.load_secondary(false);
    EXPECT_EQ(u.path, u"") << "Path is read only when asked for";
}

TEST_F(SettingsTest, UnknownTextsBehaveAsDefaultsButAreKeptAsTyped)
{
    os::reg_set_string(PRODUCT_KEY, u"Format", u"Mp3Ultra");
    os::reg_set_string(PRODUCT_KEY, u"Boost", u"Boost9");
    Settings s;
    s.load_first();
    auto const preset = format_preset(s.format);
    EXPECT_EQ(std::tuple(preset.sample_rate, preset.bit_rate, boost_level(s.boost)), std::tuple(44100, 64000, 1));
    s.save();
    core::String text;
    os::reg_get_string(PRODUCT_KEY, u"Format", text);
    EXPECT_EQ(text, u"Mp3Ultra");
}

TEST(FormatPresets, RatesBitRatesBoostLevelsAndDescriptions)
{
    struct Preset {
        char16_t const* name;
        int32_t rate, bit_rate;
        char16_t const *writer, *extension;
    };
    Preset const presets[] = { { u"Mp3Low", 22050, 32000, u"mp3", u"mp3" },
        { u"Mp3Middle", 44100, 64000, u"mp3", u"mp3" }, { u"Mp3High", 44100, 96000, u"mp3", u"mp3" },
        { u"OpusLow", 48000, 16000, u"Opus", u"opus" }, { u"Opus", 48000, 24000, u"Opus", u"opus" },
        { u"OpusHigh", 48000, 48000, u"Opus", u"opus" }, { u"Flac", 44100, 0, u"FLAC", u"flac" },
        { u"opus", 44100, 64000, u"mp3", u"mp3" } }; // texts are compared exactly
    for (auto const& p : presets) {
        FormatPreset const f = format_preset(p.name);
        EXPECT_EQ(std::tuple(f.sample_rate, f.bit_rate, core::String(f.writer), core::String(f.extension), f.channels,
                      f.bits_per_sample),
            std::tuple(p.rate, p.bit_rate, core::String(p.writer), core::String(p.extension), 1, 16))
            << core::to_utf8(p.name);
    }
    EXPECT_EQ(std::tuple(boost_level(u"Boost1"), boost_level(u"Boost2"), boost_level(u"Boost3")), std::tuple(2, 4, 8));
    EXPECT_EQ(describe_format(44100, 16, 64000) + u"|" + describe_format(22050, 16, 32000) + u"|"
            + describe_format(8000, 16, 0) + u"|" + describe_format(48000, 16, 24000),
        u"44kHz 16bit 64kbps|22kHz 16bit 32kbps|8kHz 16bit|48kHz 16bit 24kbps");
}

// The command-line companion writes through the same registry file that the program reads.
class SettingsCommand : public SettingsTest {
protected:
    std::string cli = bin_dir() + "/ravelin-cli";
};

TEST_F(SettingsCommand, RoundTripsThroughTheRegistryFile)
{
    auto r = run(cli + " settings set Format Mp3Low && " + cli + " settings set Volume 0.3 && " + cli
        + " settings set AutoRecord 1 && " + cli + " settings set Language german && " + cli + " settings");
    ASSERT_EQ(r.exit_code, 0) << r.error;
    EXPECT_NE(r.output.find("Format         Mp3Low"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("AutoRecord     1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Language       german"), std::string::npos) << r.output;
    Settings const s = loaded(false);
    EXPECT_EQ(std::pair(s.format, s.auto_record), std::pair(core::String(u"Mp3Low"), true));
    EXPECT_EQ(stored_dword(u"Volume"), 314572u);
}

TEST_F(SettingsCommand, RefusesWhatIsNotValidAndWritesNothing)
{
    for (std::string bad : { "Format Mp3", "Boost boost1", "Volume 1.5", "Volume -0.1", "VasLevel abc", "Volume 0.5x",
             "AutoRecord 2", "Log yes", "Path /x", "Nothing 1", "Volume", "Language klingon", "Language ../english" }) {
        auto r = run(cli + " settings set " + bad);
        EXPECT_EQ(r.exit_code, 2) << bad;
        EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << r.error;
        EXPECT_EQ(r.error.rfind("ravelin-cli: ", 0), 0u) << r.error;
    }
    EXPECT_EQ(text(loaded()), "0 0 Mp3Middle BoostOff 1 0 ''");
    EXPECT_EQ(run(cli + " frobnicate").exit_code, 2);
}

class Events final : public DocumentListener {
public:
    void on_document_event(DocumentEvent const& event) override { codes.push_back(event.code); }
    std::vector<int32_t> codes;
};

// A store this user may not write (another user's, a read-only mount) still gives the stored settings;
// the first change that cannot be saved is said, once. Run as another user when the tests run as root.
TEST(SettingsDeathTest, AStoreThatCannotBeWrittenIsReadAndTheLossIsSaidOnce)
{
    char pattern[] = "/tmp/ravelin-readonly-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    std::string const dir = pattern;
    std::string const path = dir + "/registry.db";
    ASSERT_EQ(
        run("RAVELIN_REGISTRY=" + path + " " + bin_dir() + "/ravelin-cli settings set Format Mp3High").exit_code, 0);
    namespace fs = std::filesystem;
    auto const readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    fs::permissions(path, readable);
    fs::permissions(dir, readable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    EXPECT_EXIT(
        {
            if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                std::exit(100);
            setenv("RAVELIN_REGISTRY", path.c_str(), 1);
            core::CActiveScheduler scheduler(u"SettingsDeathTest");
            int failed = 0;
            {
                // Ended before the exit, as the program ends it: its threads must not outlive the store.
                Document document;
                Events events;
                document.add_listener(&events);
                failed = document.settings().format == u"Mp3High" ? 0 : 1;
                document.set_format(u"Mp3Low");
                document.save_settings();
                document.save_settings();
                auto const told
                    = std::count(events.codes.begin(), events.codes.end(), DocumentEvent::SETTINGS_NOT_SAVED);
                failed |= told == 1 ? 0 : 2;
                document.remove_listener(&events);
            }
            std::exit(failed);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(dir, fs::perms::owner_all);
    fs::remove_all(dir);
}

} // namespace
