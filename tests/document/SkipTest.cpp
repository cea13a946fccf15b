#include <TestSupport.h>
#include <document/Document.h>
#include <platform/wave/wave.h>

using namespace testing_support;

namespace {

constexpr int SKIP_RATE = 8000;
constexpr double SKIP_SECONDS = 30.0;

struct StopCounter final : document::DocumentListener {
    int stops = 0;
    void on_document_event(document::DocumentEvent const& event) override
    {
        stops += event.code == document::DocumentEvent::STOPPED ? 1 : 0;
    }
};

// A paused playback of a 30-second recording: the position moves only by what is asked of it.
class SkipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        write_file(path, wav16(SKIP_RATE, std::vector<int16_t>(size_t(SKIP_RATE * SKIP_SECONDS), 100)));
        platform::select_wave_output("file:" + fresh_dir("speaker") + "/out.wav");
        document = std::make_unique<document::Document>();
        ASSERT_TRUE(document->play(core::from_utf8(path), 0));
        document->pause(true);
        document->add_listener(&stops);
    }
    void TearDown() override
    {
        document->remove_listener(&stops);
        document.reset();
        platform::select_wave_output("none");
    }

    core::CActiveScheduler scheduler { u"SkipTest" };
    std::unique_ptr<document::Document> document;
    StopCounter stops;
    std::string path = fresh_dir("recordings") + "/note.wav";
};

} // namespace

TEST_F(SkipTest, TenSecondsEitherWayStopAtTheStartAndEndAtTheEnd)
{
    struct Case {
        double from, by;
        double to; // negative: the playback has ended
    };
    Case const cases[] = {
        { 15, 10, 25 },
        { 15, -10, 5 },
        { 10, -10, 0 },
        { 4, -10, 0 }, // before the start: the start
        { 0, -10, 0 },
        { 0, 10, 10 },
        { 20.5, 10, -1 }, // within the last ten seconds: the end
        { 29.9, 10, -1 },
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " s by " << c.by << " s");
        if (!document->is_playing()) {
            ASSERT_TRUE(document->play(core::from_utf8(path), 0));
            document->pause(true);
        }
        ASSERT_TRUE(document->seek(c.from / SKIP_SECONDS));
        int const stops_before = stops.stops;
        ASSERT_TRUE(document->skip(c.by));
        if (c.to < 0) {
            EXPECT_FALSE(document->is_playing());
            EXPECT_EQ(stops.stops, stops_before + 1);
        } else {
            EXPECT_TRUE(document->is_playing() && document->is_paused());
            EXPECT_NEAR(document->play_position(), c.to, 0.01);
        }
    }
    // Without a playback there is nothing to move.
    EXPECT_FALSE(document->skip(10));
}
