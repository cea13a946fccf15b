#pragma once

#include "../audio/AudioTestSupport.h"

#include <document/Document.h>
#include <keys/HardwareKey.h>
#include <os/File.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <platform/services/registry_store.h>
#include <screens/FormMain.h>
#include <screens/Menu.h>
#include <screens/RecordRow.h>
#include <screens/ScreenHost.h>
#include <skin/FormHarness.h>
#include <skin/FormStack.h>
#include <skin/InputEvents.h>
#include <skin/KeyNames.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace screens_test {

using core::String;
using core::StringView;

constexpr uint8_t CTRL = skin::MODIFIER_CTRL;
constexpr uint8_t SHIFT = skin::MODIFIER_SHIFT;
constexpr uint8_t ALT = skin::MODIFIER_ALT;

// The key of a capital letter.
constexpr int32_t letter_key(char letter)
{
    return skin::KEY_A + (letter - 'A');
}

// The window as the screens see it: the harness's form stack, and a record of what they asked for.
class TestHost final : public screens::ScreenHost {
public:
    explicit TestHost(skin::FormStack& stack)
        : stack_(stack)
    {
    }
    skin::FormStack& form_stack() override { return stack_; }
    void set_edit(skin::EditElement* edit) override { edit_ = edit; }
    void minimize() override { ++minimized; }
    void quit() override { ++quits; }
    void message_box(StringView text, StringView) override { messages.emplace_back(text); }

    skin::FormStack& stack_;
    skin::EditElement* edit_ = nullptr;
    int minimized = 0, quits = 0;
    std::vector<String> messages;
};

// An MP3 file that holds only a tag: the list reads nothing else.
inline void write_record(String const& path, StringView artist, StringView title, StringView album)
{
    std::filesystem::create_directories(core::to_utf8(os::directory_part(path)));
    os::File file(path, os::FileMode::Write);
    audio::BufferedOutStream out(file, 4096);
    audio::Id3Tag tag;
    tag.set_text("TPE1", artist);
    tag.set_text("TIT2", title);
    tag.set_text("TALB", album);
    ASSERT_TRUE(tag.write(out) && out.flush());
}

// 44.1 kHz mono 16-bit WAV of a tone, as the microphone.
inline void use_tone_input(double seconds, bool fast)
{
    platform::select_wave_input(
        "file:" + testing_support::wav_file(testing_support::tone(seconds)) + (fast ? ",fast" : ""));
}

// The default skin at 480x640@192 on a harness, the Document with its beeps, clock and free space
// replaced, and the main screen over both, as the program builds them.
class ScreensTest : public ::testing::Test {
protected:
    core::CActiveScheduler scheduler { u"ScreensTestClass" };
    std::unique_ptr<skin::FormHarness> harness;
    std::unique_ptr<TestHost> host;
    std::unique_ptr<document::Document> document;
    std::unique_ptr<screens::FormMain> main;
    // Bytes free in main memory and on the card, as the Document's services tell them.
    double main_free = 1e12, card_free = 1e12;
    // The capture devices the platform offers, as the Document sees them.
    std::vector<String> input_devices;
    // The language file the screens start with.
    std::string language = "english";

    void SetUp() override
    {
        std::filesystem::remove_all(testing_support::test_home() + "/Documents");
        testing_support::forget_settings();
        // No button left bound or listed by an earlier case.
        for (String const& sub_key : os::reg_enum_subkeys(keys::KEY_TABLE))
            platform::RegistryStore::instance().remove_key(
                platform::RegistryRoot::LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Shell\\Keys\\" + sub_key);
    }
    void TearDown() override
    {
        main.reset();
        document.reset();
        setenv("RAVELIN_CARDS", "", 1);
        platform::select_wave_input("none");
    }
    void start(skin::Point screen = { 480, 640 }, int32_t dpi = 192)
    {
        harness = std::make_unique<skin::FormHarness>(
            core::from_utf8(testing_support::bin_dir() + "/skins/bin/default.skin"), screen, dpi);
        ASSERT_TRUE(harness->loaded());
        harness->properties().dictionary().load(core::from_utf8(testing_support::bin_dir() + "/" + language + ".lng"));
        host = std::make_unique<TestHost>(harness->stack());
        document::Document::Services services;
        services.play_sound = [](StringView) {};
        services.free_space = [this](StringView path) {
            return document::is_in_main_memory(os::expand_path(path)) ? main_free : card_free;
        };
        services.now = [] { return os::DateTime { 2026, 12, 6, 10, 15, 30, 0, 0 }; };
        services.input_devices = [this] { return input_devices; };
        document = std::make_unique<document::Document>(std::move(services));
        main = std::make_unique<screens::FormMain>(harness->properties(), *host, *document);
        main->show();
        rescan();
    }
    String store() const { return os::expand_path(u"%my_documents%/My Ravelin"); }
    // The file `name` of `wav` bytes in the store, and a WAV file in a fresh folder as the speaker; its path.
    std::string speaker;
    String add_note(String const& name, std::string const& wav)
    {
        std::filesystem::create_directories(core::to_utf8(store()));
        testing_support::write_file(core::to_utf8(store() + u"/" + name), wav);
        speaker = testing_support::fresh_dir("speaker") + "/out.wav";
        platform::select_wave_output("file:" + speaker);
        return store() + u"/" + name;
    }
    void add_record(String const& artist, String const& title, String const& album = u"Record")
    {
        write_record(os::join(store(), artist + u" " + title + u".mp3"), artist, title, album);
    }
    void rescan()
    {
        document->rescan();
        run_until([&] { return !document->is_scanning(); });
        settle();
    }
    template <typename Done> bool run_until(Done done, double seconds = 10)
    {
        return testing_support::run_messages_for(done, seconds);
    }
    // A tap in the middle of an element of the top form, then frames until the screen settles.
    void tap(skin::Element const& element)
    {
        tap_at(element.position() + skin::Point { element.size().x / 2, element.size().y / 2 });
    }
    void tap_at(skin::Point point)
    {
        harness->pen_down(point);
        harness->wait(60);
        harness->pen_up(point);
        settle();
    }
    // A tap in the middle of the part of row `index` that the list shows.
    void tap_row(skin::VListElement const& list, int32_t index)
    {
        double row_top = 0, height = 0;
        ASSERT_TRUE(list.row_place(index, row_top, height)) << "row " << index;
        double const from = std::max(row_top, 0.0);
        double const to = std::min(row_top + height, static_cast<double>(list.size().y));
        ASSERT_LT(from, to) << "row " << index << " is not on screen";
        tap_at(list.position() + skin::Point { list.size().x / 2, static_cast<int32_t>((from + to) / 2) });
    }
    void settle() { harness->advance(600); }
    // A key pressed and let go of on the top form, as the window delivers it, then frames.
    void press(int32_t code, uint8_t modifiers = 0)
    {
        top()->on_key({ code, true, true, modifiers });
        top()->on_key({ code, false, true, modifiers });
        settle();
    }
    void type(StringView text)
    {
        for (char16_t c : text)
            harness->character(c);
    }
    skin::Form* top() const { return harness->stack().top(); }
    template <typename Type = skin::Element> Type& element(skin::Form& form, StringView id)
    {
        auto* found = dynamic_cast<Type*>(form.find_child(id));
        if (!found)
            throw std::runtime_error("no element " + core::to_utf8(id));
        return *found;
    }
    String text(skin::Form& form, StringView id) { return element<skin::TextElement>(form, id).text(); }
    // A setting as the program stored it.
    String registry_text(StringView name)
    {
        String text = u"(none)";
        os::reg_get_string(document::PRODUCT_KEY, name, text);
        return text;
    }
    // The text a button shows.
    String button_text(skin::Form& form, StringView id)
    {
        auto* found = dynamic_cast<skin::TextElement*>(element(form, id).find_child(u"#text"));
        return found ? found->text() : u"(none)";
    }
    // Those of `ids` whose elements are shown, each followed by a space.
    String visible(skin::Form& form, std::initializer_list<StringView> ids)
    {
        String shown;
        for (StringView id : ids)
            if (element(form, id).visible())
                shown += String(id) + u" ";
        return shown;
    }
    void choose(screens::Menu& menu, StringView id)
    {
        for (size_t i = 0; i < menu.items().size(); ++i)
            if (menu.items()[i].id == id)
                return tap_row(menu.list(), static_cast<int32_t>(i));
        FAIL() << "no item " << core::to_utf8(id) << " on " << core::to_utf8(menu.page());
    }
    void save(std::string const& name) const
    {
        std::filesystem::create_directories(testing_support::bin_dir() + "/../tests/screens/rendered");
        harness->save_png(testing_support::bin_dir() + "/../tests/screens/rendered/" + name + ".png");
    }
};

} // namespace screens_test
