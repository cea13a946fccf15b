#include "AudioTestSupport.h"

#include <audio/AudioFilter.h>

using namespace audio;
using audio_test::buffer16;
using audio_test::Collector;

namespace {

TEST(AudioBuffer, FramesAndDurationFollowTheFormat)
{
    // A stray partial frame does not count; without a format nothing does.
    AudioBuffer const empty(core::SharedBuffer(), AudioFormat { 2, 16, 44100 }),
        stereo16(core::SharedBuffer(4410 * 4 + 3), AudioFormat { 2, 16, 44100 }),
        mono8(core::SharedBuffer(800), AudioFormat { 1, 8, 8000 }), no_format(core::SharedBuffer(100), AudioFormat {});
    EXPECT_EQ((std::vector { empty.frames(), stereo16.frames(), mono8.frames(), no_format.frames() }),
        (std::vector<size_t> { 0, 4410, 800, 0 }));
    EXPECT_DOUBLE_EQ(stereo16.duration(), 0.1);
    EXPECT_EQ(no_format.duration(), 0.0);
    EXPECT_EQ((AudioFormat { 2, 12, 8000 }.frame_size()), 4); // whole bytes per sample

    AudioBuffer coded = mono8;
    coded.coded_block_size = 256;
    EXPECT_EQ(coded.format, mono8.format); // formats compare on their three fields only
}

// Adds a constant to every 16-bit sample, so that a test sees which filters a buffer went through.
class AddFilter final : public AudioFilter {
public:
    explicit AddFilter(int16_t amount)
        : amount_(amount)
    {
    }

protected:
    AudioBuffer transform(AudioBuffer const& input) override
    {
        auto samples = audio_test::samples16(input);
        for (auto& s : samples)
            s = static_cast<int16_t>(s + amount_);
        return buffer16(samples, input.format.samples_per_second);
    }

private:
    int16_t amount_;
};

class Source final : public AudioProducer {
public:
    AudioBuffer get_data(int32_t frames) override
    {
        asked = frames;
        return buffer16(std::vector<int16_t>(static_cast<size_t>(frames), 100), 8000);
    }
    int32_t asked = 0;
};

TEST(AudioChain, PullAsksTheUpstreamThroughEveryFilter)
{
    Source source;
    AddFilter plus1(1), plus10(10);
    connect(source, &plus1);
    connect(plus1, &plus10);
    AudioBuffer pulled = plus10.get_data(3);
    EXPECT_EQ(
        std::pair(source.asked, audio_test::samples16(pulled)), std::pair(3, std::vector<int16_t> { 111, 111, 111 }));
    Collector unlinked;
    EXPECT_TRUE(pull_upstream(unlinked, 10).empty() && pull_upstream(unlinked, 10).format.is_none());
}

// A stage that goes takes its links with it; a producer linked to a taken consumer takes it over.
TEST(AudioChain, LinksGoWithADeletedStageOrToANewProducer)
{
    Source source, second;
    Collector sink;
    {
        AddFilter middle(1);
        connect(source, &middle);
        connect(middle, &sink);
    }
    EXPECT_TRUE(source.consumer() == nullptr && sink.producer() == nullptr);
    feed_consumer(source, buffer16({ 1 }, 8000)); // must not reach freed memory
    EXPECT_TRUE(pull_upstream(sink, 4).empty());

    connect(source, &sink);
    connect(second, &sink);
    EXPECT_EQ(source.consumer(), nullptr);
    feed_consumer(source, buffer16({ 1 }, 8000));
    EXPECT_TRUE(sink.buffers().empty());
    connect(source, nullptr); // unlinking the old producer leaves the new link alone
    EXPECT_EQ(sink.producer(), static_cast<AudioProducer*>(&second));
}

} // namespace
