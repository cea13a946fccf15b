#include "../audio/AudioTestSupport.h"

#include <atomic>
#include <audio/AudioFilter.h>
#include <core/Thread.h>
#include <document/Document.h>
#include <os/FileInfo.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <platform/services/registry_store.h>

using namespace document;
using core::String;
using core::StringView;
using testing_support::fresh_dir;
using testing_support::LogCapture;
using testing_support::write_file;
namespace fs = std::filesystem;

namespace {

constexpr int RATE = 44100;

// Samples of a 440 Hz tone (true) or of silence, one second of 44.1 kHz mono per unit.
std::vector<int16_t> signal(std::initializer_list<std::pair<bool, double>> parts)
{
    std::vector<int16_t> samples;
    for (auto [tone, seconds] : parts) {
        auto const part = testing_support::tone(seconds, RATE, tone ? 12000 : 0);
        samples.insert(samples.end(), part.begin(), part.end());
    }
    return samples;
}

// A writer in front of the real one whose input takes `delay` seconds per buffer and counts what passed,
// and whose status can be made bad.
class SlowWriter final : public audio::FileWriter, private audio::WriterStatus {
public:
    SlowWriter(std::unique_ptr<audio::FileWriter> inner, double delay, std::atomic<size_t>& passed)
        : inner_(std::move(inner))
    {
        gate_.delay = delay;
        gate_.passed = &passed;
        connect(gate_, &inner_->input());
    }
    ~SlowWriter() override { connect(gate_, nullptr); }
    audio::RateInfo& rate_info() override { return inner_->rate_info(); }
    audio::AudioConsumer& input() override { return gate_; }
    audio::WriterStatus& status() override { return *this; }
    core::StringView format_name() const override { return inner_->format_name(); }
    bool is_good() override { return !failing && inner_->status().is_good(); }
    uint32_t bytes_written() override { return inner_->status().bytes_written(); }

    static inline std::atomic<bool> failing { false };

private:
    struct Gate final : audio::AudioFilter {
        double delay = 0;
        std::atomic<size_t>* passed = nullptr;
        audio::AudioBuffer transform(audio::AudioBuffer const& input) override
        {
            if (delay > 0)
                core::sleep(delay);
            *passed += input.length();
            return input;
        }
    };
    std::unique_ptr<audio::FileWriter> inner_;
    Gate gate_;
};

// The texts of the file's tag frames.
std::vector<String> id3_texts(String const& path, std::initializer_list<char const*> frames)
{
    auto const tag = audio_test::tag_of(core::to_utf8(path));
    std::vector<String> texts;
    for (char const* frame : frames)
        texts.push_back(tag.text(frame));
    return texts;
}

// The file as ffmpeg decodes it, 44.1 kHz mono (an MP3 reader's own length counts the tag's bytes); empty
// when ffmpeg reports an error.
std::vector<int16_t> decoded(String const& path)
{
    std::string const raw = fresh_dir("decoded") + "/out.raw";
    auto const result = testing_support::run(
        "ffmpeg -nostdin -v error -i '" + core::to_utf8(path) + "' -f s16le -ac 1 -ar 44100 -y '" + raw + "'");
    if (result.exit_code != 0 || !result.error.empty())
        return {};
    return testing_support::samples16(testing_support::read_file(raw));
}

double duration_of(String const& path)
{
    return static_cast<double>(decoded(path).size()) / RATE;
}

class DocumentTest : public ::testing::Test, public DocumentListener {
protected:
    core::CActiveScheduler scheduler { u"DocumentTestClass" };
    std::vector<DocumentEvent> events;
    std::vector<String> sounds;
    std::atomic<size_t> passed { 0 };
    double writer_delay = 0;
    double card_free = 1e12;
    double main_free = 1e12;
    bool writer_fails = false;
    os::DateTime clock { 2026, 12, 6, 10, 15, 30, 0, 0 };
    std::function<void(StringView)> on_sound;
    std::vector<platform::Wakefulness> awake;
    bool window_shown = true;
    int quits = 0;
    std::unique_ptr<Document> document;

    void SetUp() override
    {
        fs::remove_all(testing_support::test_home() + "/Documents");
        testing_support::forget_settings();
        SlowWriter::failing = false;
        platform::select_wave_output("none");
    }
    void TearDown() override
    {
        document.reset();
        setenv("RAVELIN_CARDS", "", 1);
        platform::select_wave_input("none");
    }

    Document& make(audio::ActiveBuffer::MemoryStatusSource memory = {})
    {
        Document::Services services;
        services.play_sound = [this](StringView path) {
            sounds.push_back(os::file_name(path));
            if (on_sound)
                on_sound(path);
        };
        services.create_writer
            = [this](StringView path, StringView format, int32_t channels, int32_t bits, int32_t rate, int32_t bit_rate,
                  bool append, audio::RecordingTags const& tags) -> std::unique_ptr<audio::FileWriter> {
            auto inner = audio::create_writer(path, format, channels, bits, rate, bit_rate, append, tags);
            if (!inner || writer_fails)
                return nullptr;
            return std::make_unique<SlowWriter>(std::move(inner), writer_delay, passed);
        };
        services.free_space
            = [this](StringView path) { return is_in_main_memory(os::expand_path(path)) ? main_free : card_free; };
        services.now = [this] { return clock; };
        services.memory_status = memory;
        services.keep_awake = [this](platform::Wakefulness need) { awake.push_back(need); };
        services.window_active = [this] { return window_shown; };
        services.quit = [this] { ++quits; };
        document = std::make_unique<Document>(std::move(services));
        document->add_listener(this);
        return *document;
    }

    void on_document_event(DocumentEvent const& event) override { events.push_back(event); }

    std::vector<int32_t> codes() const
    {
        std::vector<int32_t> out;
        for (auto const& e : events)
            out.push_back(e.code);
        return out;
    }

    void use_input(std::vector<int16_t> const& samples, bool fast = true)
    {
        platform::select_wave_input("file:" + testing_support::wav_file(samples) + (fast ? ",fast" : ""));
    }
    void use_tone(double seconds, bool fast = true) { use_input(signal({ { true, seconds } }), fast); }

    // Runs the scheduler (the Document's tick) until `done` or `seconds` have passed; whether `done` holds.
    template <typename Done> bool run_until(Done done, double seconds = 10)
    {
        return testing_support::run_messages_for(done, seconds);
    }
    void run_for(double seconds)
    {
        run_until([] { return false; }, seconds);
    }
    static bool record(Document& d) { return d.record(false, {}, {}, phone::CALL_NONE); }
    void run_to_input_end(Document& d)
    {
        run_until([] { return platform::wave_input_ended(); });
        d.stop();
    }
    void record_input_to_end(Document& d)
    {
        ASSERT_TRUE(record(d));
        run_to_input_end(d);
    }
    void record_tone(Document& d, double seconds) { use_tone(seconds), record_input_to_end(d); }
    bool store_empty() const { return !fs::exists(core::to_utf8(store())) || fs::is_empty(core::to_utf8(store())); }
    String store() const { return os::expand_path(u"%my_documents%/My Ravelin"); }
};

} // namespace

TEST_F(DocumentTest, ARecordingIsTaggedListedAndStoppedWithItsBeeps)
{
    use_tone(3.0);
    auto& d = make();
    LogCapture log;
    ASSERT_TRUE(record(d));
    String const path = d.current().path;
    EXPECT_EQ(codes(), (std::vector<int32_t> { DocumentEvent::STOPPED, DocumentEvent::RECORDING_STARTED }));
    EXPECT_TRUE(log.contains_all({ "record prefix:Record subfolder:\n",
        "Document::record file created:" + core::to_utf8(path) + "\n", "id3:" }));
    EXPECT_EQ(d.records().size(), 1u);
    String saved;
    os::reg_get_string(PRODUCT_KEY, u"Path", saved);
    EXPECT_EQ(saved, path);

    // A second record while recording changes nothing.
    EXPECT_FALSE(d.record(false, u"Ann", {}, phone::CALL_INCOMING));
    EXPECT_EQ(events.size(), 2u);
    run_to_input_end(d);
    EXPECT_EQ(std::tuple(sounds, events.back().code, d.is_recording()),
        std::tuple(std::vector<String> { u"Voicbeep.wav", u"RecEnd.wav" }, int32_t(DocumentEvent::STOPPED), false));

    EXPECT_EQ(id3_texts(path, { "TPE1", "TALB", "TCON", "TYER", "TDAT", "TIT2" }),
        (std::vector<String> { u"Record", u"Record", u"Ravelin", u"2026", u"0612",
            os::date_text(clock, true) + u" " + os::time_text(clock) }));
    EXPECT_NEAR(duration_of(path), 3.0, 0.06);
    EXPECT_NEAR(d.recorded_seconds(), 3.0, 0.001);
}

TEST_F(DocumentTest, StopWhenIdleAndCallRecordingsWithoutACall)
{
    auto& d = make();
    d.stop();
    EXPECT_EQ(codes(), std::vector<int32_t> { DocumentEvent::STOPPED });
    events.clear();
    EXPECT_FALSE(d.record(true, {}, {}, phone::CALL_NONE));
    EXPECT_TRUE(events.empty() && store_empty());
}

// A recording that cannot start says why, whoever asked for it (the button, a command line), leaves no
// file behind, and a second try gives the same reason.
TEST_F(DocumentTest, ARefusedRecordingSaysItsRealCause)
{
    struct Case {
        char const* what;
        bool microphone, writer, space, folder;
        RecordRefusal why;
    };
    Case const cases[] = { { "no microphone", false, true, true, true, RecordRefusal::NO_MICROPHONE },
        { "disk full", true, false, false, true, RecordRefusal::DISK_FULL },
        { "folder not writable", true, true, true, false, RecordRefusal::NOT_WRITABLE } };
    std::string const documents = std::getenv("XDG_DOCUMENTS_DIR");
    for (auto const& c : cases) {
        c.microphone ? use_tone(1.0) : platform::select_wave_input("none");
        writer_fails = !c.writer;
        main_free = c.space ? 1e12 : 1000;
        setenv("XDG_DOCUMENTS_DIR", c.folder ? documents.c_str() : "/proc/ravelin-not-a-folder", 1);
        auto& d = make();
        for (bool by_command : { false, true }) {
            events.clear();
            if (by_command)
                d.on_command(u"record");
            else
                EXPECT_FALSE(record(d)) << c.what;
            EXPECT_FALSE(d.is_recording()) << c.what;
            ASSERT_FALSE(events.empty()) << c.what;
            EXPECT_EQ(std::pair(events.back().code, events.back().argument),
                std::pair(int32_t(DocumentEvent::RECORDING_REFUSED), int32_t(c.why)))
                << c.what;
        }
        EXPECT_TRUE(d.records().empty() && store_empty()) << c.what;
        document.reset();
    }
    setenv("XDG_DOCUMENTS_DIR", documents.c_str(), 1);
    writer_fails = false;
}

// A call's own folder comes with its direction (see the phone tests); without a line to tell it, the
// recording goes beside the others, named after the caller.
TEST_F(DocumentTest, ACallOfUnknownDirectionIsRecordedBesideTheOthers)
{
    auto& d = make();
    char16_t const* phone = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
    os::reg_set_dword(phone, u"Active Call Count", 1);
    os::reg_set_dword(phone, u"Status", 0x20000000);
    os::reg_set_string(phone, u"Caller Name", u"Ann Lee");
    record_tone(d, 0.3);
    EXPECT_EQ(os::directory_part(d.current().path), store() + u"/");
    EXPECT_TRUE(os::file_name(d.current().path).starts_with(u"Ann Lee "));
    EXPECT_EQ(id3_texts(d.current().path, { "TPE1" }), std::vector<String> { u"Ann Lee" });

    // The tick sees the talking call and, when it ends, that too.
    EXPECT_TRUE(run_until([&] { return d.in_call(); }, 1));
    os::reg_set_dword(phone, u"Active Call Count", 0);
    events.clear();
    run_until([&] { return !d.in_call(); }, 1);
    EXPECT_EQ(codes(), std::vector<int32_t> { DocumentEvent::PHONE_STATE_CHANGED });
    for (auto name : { u"Active Call Count", u"Status", u"Caller Name" })
        platform::RegistryStore::instance().remove_value(
            platform::RegistryRoot::LOCAL_MACHINE, u"System\\State\\Phone", name);
}

TEST_F(DocumentTest, NewRecordingsGoToTheCardUnlessItsVolumeIsShortOfSpace)
{
    std::string const card = fresh_dir("card-space");
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    auto& d = make();
    record_tone(d, 0.2);
    EXPECT_TRUE(d.current().path.starts_with(core::from_utf8(card)) && !is_in_main_memory(d.current().path));
    card_free = 999'999;
    record_tone(d, 0.2);
    EXPECT_EQ(os::directory_part(d.current().path), store() + u"/");
}

TEST_F(DocumentTest, TheEndBeepPlaysBeforeTheQueueIsWrittenAndStopWaitsForIt)
{
    use_tone(2.0);
    writer_delay = 0.1; // a slow card: the queue holds most of the recording when stop comes
    auto& d = make();
    size_t at_end_beep = 0;
    on_sound = [&](StringView path) {
        if (os::file_name(path) == u"RecEnd.wav")
            at_end_beep = passed.load();
    };
    record_input_to_end(d);
    EXPECT_LT(at_end_beep, 2u * RATE * 2);
    EXPECT_EQ(passed.load(), 2u * RATE * 2);
    EXPECT_NEAR(duration_of(d.current().path), 2.0, 0.06);
}

// Stopped in the middle of a boosted recording in real time: the capture hands down the block it was
// filling before the boost gives up what it kept back for its next anchor, so that nothing of the time
// the recording ran is lost.
TEST_F(DocumentTest, StoppingABoostedRecordingKeepsAllItsTime)
{
    use_tone(10.0, false);
    auto& d = make();
    d.set_boost(u"Boost2");
    for (double seconds : { 1.3, 0.75 }) {
        ASSERT_TRUE(record(d));
        uint32_t const start = platform::tick_count();
        run_for(seconds);
        double const elapsed = (platform::tick_count() - start) / 1000.0;
        d.stop();
        std::printf("[ figure ] stopped after %.3f s: %.3f s recorded\n", elapsed, d.recorded_seconds());
        EXPECT_NEAR(d.recorded_seconds(), elapsed, 0.05) << "stopped after " << elapsed << " s";
    }
}

TEST_F(DocumentTest, VoiceActivationWritesNothingDuringLongSilence)
{
    // 0.6 s of voice, 3 s of silence, 1 s of voice, in real time.
    use_input(signal({ { true, 0.6 }, { false, 3.0 }, { true, 1.0 } }), false);
    auto& d = make();
    d.set_vas_level(0.1);
    LogCapture log;
    record_input_to_end(d);
    size_t silent_ticks = 0;
    for (size_t at = 0; (at = log.utf8().find("record_levels silence\n", at)) != std::string::npos; ++at)
        ++silent_ticks;
    // Silence counts after 2 s: about 1 s of the 3 s at 5 ticks a second (fewer when ticks are late).
    EXPECT_TRUE(silent_ticks >= 2 && silent_ticks <= 8) << silent_ticks;
    std::vector<int16_t> const written = decoded(d.current().path);
    double const seconds = static_cast<double>(written.size()) / RATE;
    EXPECT_TRUE(seconds > 4.6 - 1.8 && seconds < 4.6 - 0.5) << seconds;
    // The voice that came back is written again: the file ends loud.
    ASSERT_GT(written.size(), size_t(RATE / 2));
    int peak = 0;
    for (size_t i = written.size() - RATE / 4; i < written.size() - RATE / 20; ++i)
        peak = std::max(peak, std::abs(int(written[i])));
    EXPECT_GT(peak, 8000);
}

// A PCM WAV at 8 kHz is continued in its own format, not in the one new recordings take.
TEST_F(DocumentTest, ContinuingAWavFileKeepsItsFormat)
{
    auto& d = make();
    std::string const wav = fresh_dir("wav") + "/memo.wav";
    write_file(wav, testing_support::wav16(8000, std::vector<int16_t>(8000, 1000)));
    use_tone(0.5);
    ASSERT_TRUE(d.select(core::from_utf8(wav)));
    EXPECT_EQ(d.current().extension, u"PCM");
    ASSERT_TRUE(d.continue_recording());
    run_to_input_end(d);
    EXPECT_NEAR(audio::create_reader(core::from_utf8(wav))->info().duration(), 1.5, 0.001);
    EXPECT_EQ(fs::file_size(wav), 44u + 12000 * 2);
}

TEST_F(DocumentTest, RenameKeepsTheTypedTitleInTheTagAndCleansTheFileName)
{
    auto& d = make();
    record_tone(d, 0.2);
    String const old_path = d.current().path;
    events.clear();
    d.rename(u"Meeting: why?\r\nnext");
    String const path = d.current().path;
    EXPECT_EQ(os::file_name(path), u"Record Meeting  why  next.mp3");
    EXPECT_FALSE(os::FileInfo(old_path).exists());
    EXPECT_EQ(id3_texts(path, { "TIT2" }), std::vector<String> { u"Meeting: why? next" });
    EXPECT_EQ(codes(), std::vector<int32_t> { DocumentEvent::RECORD_CHANGED });
    EXPECT_EQ(d.records()[0].path, path);
    EXPECT_NEAR(duration_of(path), 0.2, 0.06);
}

// A file without a tag has no artist and nowhere to keep a title but its name: the new title becomes the
// name (not " " + title), and a new scan reads it back from there.
TEST_F(DocumentTest, RenamingAFileWithoutATagNamesItAfterTheTitle)
{
    auto& d = make();
    fs::create_directories(core::to_utf8(store()));
    String const path = store() + u"/Other program.wav";
    write_file(core::to_utf8(path), testing_support::wav16(RATE, signal({ { true, 0.2 } })));
    d.rescan();
    ASSERT_TRUE(d.select(path));
    EXPECT_EQ(d.current().title, u"Other program");
    d.rename(u"Talk: Ann");
    EXPECT_EQ(d.current().path, store() + u"/Talk  Ann.wav");
    EXPECT_FALSE(os::FileInfo(path).exists());
    d.rescan();
    ASSERT_EQ(d.records().size(), 1u);
    EXPECT_EQ(std::pair(d.records()[0].title, d.records()[0].path), std::pair(String(u"Talk  Ann"), d.current().path));
    EXPECT_NEAR(duration_of(d.current().path), 0.2, 0.001) << "the audio is untouched";

    // An empty title leaves the name as it is.
    d.rename(u"");
    EXPECT_EQ(d.current().path, store() + u"/Talk  Ann.wav");
    EXPECT_TRUE(os::FileInfo(d.current().path).exists());
}

TEST_F(DocumentTest, RescanListsCardAndMainMemoryMixedNewestFirst)
{
    std::string const card = fresh_dir("card-rescan");
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    auto& d = make();
    auto const folders = d.store_folders();
    ASSERT_EQ(folders.size(), 2u);
    std::string const main_store = core::to_utf8(folders[0].path), card_store = core::to_utf8(folders[1].path);
    fs::create_directories(main_store + "/Incoming");
    fs::create_directories(card_store + "/Outgoing/deeper");
    std::tuple<std::string, int, std::string> const files[] = { { main_store + "/a.mp3", 5, "data" },
        { card_store + "/b.mp3", 4, "data" }, { main_store + "/Incoming/c.wav", 3, "data" },
        { card_store + "/Outgoing/d.MP3", 2, "data" }, { card_store + "/Outgoing/deeper/e.mp3", 1, "data" },
        { main_store + "/notes.txt", 0, "data" }, { main_store + "/empty.mp3", 0, "" } };
    for (auto const& [path, hours_ago, bytes] : files) {
        write_file(path, bytes);
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(hours_ago));
    }
    d.rescan();
    std::vector<String> names;
    for (auto const& r : d.records().entries())
        names.push_back(os::file_name(r.path));
    EXPECT_EQ(names, (std::vector<String> { u"e.mp3", u"d.MP3", u"c.wav", u"b.mp3", u"a.mp3" }));
    EXPECT_EQ(codes(), std::vector<int32_t> { DocumentEvent::LIST_REBUILT });

    // The incremental scan of start-up finds the same, one event per file.
    events.clear();
    document.reset();
    auto& fresh = make();
    fresh.load_secondary_things();
    run_until([&] { return !fresh.is_scanning(); });
    auto const found = codes();
    EXPECT_EQ(std::pair(fresh.records().size(), std::count(found.begin(), found.end(), DocumentEvent::RECORD_FOUND)),
        std::pair(size_t(5), std::ptrdiff_t(5)));
}

TEST_F(DocumentTest, ACardTakenOutDuringARecordingStopsItAndRebuildsTheList)
{
    std::string const card = fresh_dir("card-out") + "/card";
    fs::create_directories(card);
    setenv("RAVELIN_CARDS", card.c_str(), 1);
    use_tone(5.0, false);
    auto& d = make();
    LogCapture log;
    ASSERT_TRUE(record(d));
    ASSERT_FALSE(is_in_main_memory(d.current().path));
    run_for(0.5);
    // Files written on Linux after their folder went away are lost at close: the card is looked at
    // while the writer still says it is good.
    fs::rename(card, card + "-gone");
    events.clear();
    run_until([&] { return !d.is_recording(); }, 2);
    EXPECT_TRUE(log.contains("card_problem\n"));
    EXPECT_EQ(codes(),
        (std::vector<int32_t> { DocumentEvent::STOPPED, DocumentEvent::LIST_REBUILT, DocumentEvent::CARD_PROBLEM }));
    EXPECT_EQ(quits, 0) << "the program runs on";
}

TEST_F(DocumentTest, AFailingWriterOrMemoryEndsTheRecordingWithItsEvent)
{
    std::atomic<bool> low_memory { false };
    struct Case {
        std::atomic<bool>* fault;
        std::string log;
        int32_t event;
        bool at_stop; // the fault comes right before Stop, with no tick between to see it
    };
    // The file is still there: no rescan.
    Case const cases[] = { { &SlowWriter::failing, "writer no valid active_buffer:", DocumentEvent::NO_MEMORY, false },
        { &low_memory, "active_buffer no valid\n", DocumentEvent::TOO_SLOW_DEVICE, false },
        { &SlowWriter::failing, "", DocumentEvent::NO_MEMORY, true } };
    LogCapture log;
    for (auto const& c : cases) {
        use_tone(5.0, false);
        document.reset();
        auto& d = make([&] {
            platform::MemoryStatus status = platform::global_memory_status();
            if (low_memory)
                status.avail_phys = 1000;
            return status;
        });
        ASSERT_TRUE(record(d));
        // Some sound must have come through before the fault for the file to have any to keep.
        ASSERT_TRUE(run_until([&] { return d.recorded_seconds() >= 0.3; }, 5));
        *c.fault = true;
        events.clear();
        if (c.at_stop)
            d.stop();
        else
            run_until([&] { return !d.is_recording(); }, 2);
        EXPECT_TRUE(log.contains(c.log)) << c.log;
        EXPECT_EQ(codes(), (std::vector<int32_t> { DocumentEvent::STOPPED, c.event })) << c.log << c.at_stop;
        EXPECT_GT(duration_of(d.current().path), 0.1) << c.log << c.at_stop;
        *c.fault = false;
    }
}

// "record" starts a recording, a second one pauses it and a third resumes it.
TEST_F(DocumentTest, TheRecordCommandStartsPausesAndResumesARecording)
{
    auto& d = make();
    use_tone(2.0, false);
    d.on_command(u"record");
    EXPECT_TRUE(d.is_recording());
    d.on_command(u"record");
    EXPECT_TRUE(d.is_paused());
    EXPECT_EQ(events.back().code, DocumentEvent::PAUSE_CHANGED);
    d.on_command(u"call"); // recording already: nothing
    EXPECT_TRUE(d.is_paused());
    d.on_command(u"record");
    EXPECT_FALSE(d.is_paused());
    d.stop();
    EXPECT_FALSE(d.is_paused());
}

// A Vorbis file is only played, and a microphone cannot add to a 6 kHz or a mu-law file: continuing them
// is not offered, rather than refused as an unwritable folder or a missing microphone.
TEST_F(DocumentTest, OnlyAFormatWithAWriterCanBeContinued)
{
    std::string const wav = testing_support::wav_file(testing_support::tone(0.5, 8000), 8000);
    std::string const ogg = fresh_dir("continue") + "/v.ogg";
    ASSERT_EQ(testing_support::run("oggenc -Q '" + wav + "' -o '" + ogg + "'").exit_code, 0);
    use_tone(1.0, true);
    auto& d = make();
    EXPECT_FALSE(d.can_continue()) << "nothing chosen";
    ASSERT_TRUE(d.select(core::from_utf8(ogg)));
    events.clear();
    EXPECT_FALSE(d.can_continue() || d.continue_recording());
    EXPECT_TRUE(events.empty());
    // A microphone takes 8 kHz at the least; it gives no mu-law samples, and a writer takes no such file.
    ASSERT_TRUE(d.select(core::from_utf8(testing_support::wav_file(testing_support::tone(0.5, 6000), 6000))));
    EXPECT_FALSE(d.can_continue());
    std::string const mulaw = fresh_dir("continue") + "/u.wav";
    write_file(mulaw, testing_support::wav_bytes(7, 1, 8000, 8, std::string(800, '\x7f')));
    ASSERT_TRUE(d.select(core::from_utf8(mulaw)));
    EXPECT_FALSE(d.can_continue());
    ASSERT_TRUE(d.select(core::from_utf8(wav)));
    EXPECT_TRUE(d.can_continue() && d.continue_recording());
    d.stop();
}

TEST_F(DocumentTest, APlaybackWithNoSpeakerSaysSo)
{
    std::string const wav = testing_support::wav_file(testing_support::tone(1, 8000), 8000);
    auto& d = make();
    LogCapture log;
    ASSERT_TRUE(d.play(core::from_utf8(wav), 0));
    events.clear();
    run_until([&] { return !d.is_playing(); }, 3);
    EXPECT_TRUE(log.contains("player: no speaker\n"));
    ASSERT_EQ(codes(), (std::vector<int32_t> { DocumentEvent::STOPPED, DocumentEvent::PLAYBACK_REFUSED }));
    EXPECT_EQ(failure_text_key(events.back()), u"Sorry_no_speaker");
    EXPECT_EQ(
        failure_text_key({ DocumentEvent::PLAYBACK_REFUSED, int32_t(PlaybackRefusal::FORMAT) }), u"Sorry_cannot_play");
}

TEST_F(DocumentTest, TheMachineStaysAwakeForWhatRunsAndNoLonger)
{
    using Reason = platform::Wakefulness::Reason;
    platform::Wakefulness const nothing {}, recording { Reason::RECORDING, false };
    std::string const wav = testing_support::wav_file(testing_support::tone(10, 8000), 8000);
    use_input(signal({ { true, 10.0 } }), false);
    platform::select_wave_output("file:" + fresh_dir("speaker") + "/out.wav");
    auto& d = make();
    struct Case {
        char const* what;
        std::function<void()> act;
        platform::Wakefulness held;
    };
    Case const cases[] = {
        // A call recording never keeps the screen on, even in a window in sight.
        { "a call", [&] { ASSERT_TRUE(d.record(true, u"Ann", u"555", phone::CALL_INCOMING)); }, recording },
        { "paused", [&] { d.pause(true); }, recording },
        { "its writer failing", [&] { SlowWriter::failing = true; }, nothing },
        { "playing in sight", [&] { ASSERT_TRUE(d.play(core::from_utf8(wav), 0)); }, { Reason::PLAYING, true } },
        { "playing hidden", [&] { window_shown = false; }, { Reason::PLAYING, false } },
    };
    for (auto const& c : cases) {
        c.act();
        // Asked at once or, for what the Document only sees at its tick, by the next one; and kept.
        run_until([&] { return !awake.empty() && awake.back() == c.held; }, 1);
        run_for(2 * Document::TICK_SECONDS);
        EXPECT_TRUE(awake.back() == c.held) << c.what;
    }
    SlowWriter::failing = false;
    // The Document's end lets go of everything as a stop does.
    document.reset();
    EXPECT_TRUE(awake.back() == nothing);
}
