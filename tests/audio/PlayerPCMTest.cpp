#include "AudioTestSupport.h"

#include <atomic>
#include <audio/AudioProducer.h>
#include <audio/PlayerPCM.h>
#include <condition_variable>
#include <core/Thread.h>
#include <mutex>

using namespace audio;
using audio_test::bytes_of;

namespace {

// The platform's device, with a record of what the player asked of it.
class RecordingWaveOut final : public WaveOut {
public:
    struct Record {
        std::vector<platform::WaveFormat> opens;
        std::vector<uint32_t> sizes, volumes;
        std::vector<std::string> written; // per open
        int pauses = 0, restarts = 0;
    };
    Record record()
    {
        return note([](Record&) {});
    }

    uint32_t open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format, uint32_t thread_id,
        uintptr_t instance) override
    {
        note([&](Record& r) { r.opens.push_back(format), r.written.emplace_back(); });
        return WaveOut::open(handle, device, format, thread_id, instance);
    }
    uint32_t write(platform::WaveHandle handle, platform::WaveBlock& block) override
    {
        if (refuse_writes)
            return platform::MMSYSERR_NODRIVER;
        note([&](Record& r) {
            r.sizes.push_back(block.buffer_length);
            if (!r.written.empty())
                r.written.back().append(reinterpret_cast<char const*>(block.data), block.buffer_length);
        });
        return WaveOut::write(handle, block);
    }
    uint32_t pause(platform::WaveHandle handle) override
    {
        note([](Record& r) { ++r.pauses; });
        return WaveOut::pause(handle);
    }
    uint32_t restart(platform::WaveHandle handle) override
    {
        note([](Record& r) { ++r.restarts; });
        return WaveOut::restart(handle);
    }
    uint32_t set_volume(platform::WaveHandle handle, uint32_t volume) override
    {
        note([&](Record& r) { r.volumes.push_back(volume); });
        return WaveOut::set_volume(handle, volume);
    }
    std::atomic<bool> refuse_writes { false }; // as a device that went away

private:
    // Changes the record under the lock; a copy of it.
    template <typename Change> Record note(Change change)
    {
        std::lock_guard lock(mutex_);
        change(record_);
        return record_;
    }

    std::mutex mutex_;
    Record record_;
};

// Hands out parts of a stream, one format after another, in pieces of at most `piece` frames; counts the
// pulls so that a test can tell when the player thread has handled a command.
class ToneSource final : public AudioProducer {
public:
    void add(AudioBuffer const& part)
    {
        std::lock_guard lock(mutex_);
        parts_.push_back(part);
    }
    AudioBuffer get_data(int32_t frames) override
    {
        std::lock_guard lock(mutex_);
        ++pulls_;
        changed_.notify_all();
        while (!parts_.empty() && parts_.front().empty())
            parts_.erase(parts_.begin());
        if (parts_.empty())
            return {};
        AudioBuffer& part = parts_.front();
        size_t const size = size_t(part.format.frame_size());
        size_t const take = std::min<size_t>(size_t(std::min(frames, piece)) * size, part.length());
        AudioBuffer out(core::SharedBuffer(part.data, 0, take), part.format);
        part.data = core::SharedBuffer(part.data, take, part.length() - take);
        return out;
    }
    void wait_pulls(int count)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pulls_ >= count; });
    }

    int32_t piece = 5000;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<AudioBuffer> parts_;
    int pulls_ = 0;
};

AudioBuffer tone(int32_t rate, int channels, size_t frames, int step = 7919)
{
    return audio_test::buffer16(audio_test::ramp(frames * size_t(channels), step), rate, channels);
}

// The player's end, as the Document's tick notices it.
bool wait_finished(PlayerPCM& player, double seconds = 20)
{
    for (int i = 0; i < seconds * 200 && !player.is_finished(); ++i)
        core::sleep(0.005);
    return player.is_finished();
}

// A player on a recorded device, pulling from a source of its own.
class PlayerPCMTest : public audio_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        connect(source, &player);
    }

    // Plays what the source holds, to its end.
    bool play_to_end(double seconds = 20) { return player.play() && wait_finished(player, seconds); }

    RecordingWaveOut device;
    ToneSource source;
    PlayerPCM player { device };
};

TEST_F(PlayerPCMTest, TheVolumeIsClampedToTheUnitRange)
{
    EXPECT_EQ(player.volume(), 1.0);
    player.set_volume(1.5);
    EXPECT_EQ(player.volume(), 1.0);
    player.set_volume(-1);
    EXPECT_EQ(player.volume(), 0.0);
}

// Without data to play, the commands still run in order; each pulls from the source first, which tells
// when the player thread has taken it.
TEST_F(PlayerPCMTest, ASecondPauseDoesNothingAndPlayResumes)
{
    int commands = 0;
    // The device's pauses and restarts once the player thread has carried out `command`.
    auto const after = [&](auto command) {
        command();
        source.wait_pulls(++commands);
        core::Lock wait_for_the_command_to_end(player.lock());
        return std::pair(device.record().pauses, device.record().restarts);
    };
    auto const play = [&] { player.play(); };
    auto const pause = [&] { player.pause(); };
    after(play);
    EXPECT_TRUE(player.is_finished()) << "nothing to play";
    EXPECT_EQ(after(pause), std::pair(1, 0));
    EXPECT_EQ(after(pause), std::pair(1, 0));
    EXPECT_EQ(after(play), std::pair(1, 1));
}

// The open fails: the playback ends instead of waiting for a device that will never answer, and says why
// until the next play.
TEST_F(PlayerPCMTest, PlayWithNoSpeakerFinishesAndSaysWhy)
{
    source.add(tone(8000, 1, 800));
    EXPECT_TRUE(play_to_end());
    EXPECT_EQ(player.refusal(), OutputRefusal::NO_DEVICE);
    use_file_output();
    EXPECT_TRUE(play_to_end());
    EXPECT_EQ(player.refusal(), OutputRefusal::NONE);
    device.refuse_writes = true;
    source.add(tone(8000, 1, 800));
    EXPECT_TRUE(play_to_end());
    EXPECT_EQ(player.refusal(), OutputRefusal::NO_DEVICE);
    device.refuse_writes = false;
    source.add(tone(8000, 3, 800));
    EXPECT_TRUE(play_to_end());
    EXPECT_EQ(player.refusal(), OutputRefusal::FORMAT);
}

// The device is drained and opened again in the new format; the data that showed the change is played
// in it, and nothing is lost on the way.
TEST_F(PlayerPCMTest, AStreamThatChangesItsRatePlaysBothParts)
{
    use_file_output();
    AudioBuffer const first = tone(22050, 1, 22050 + 333);
    AudioBuffer const second = tone(44100, 1, 30000, 3);
    source.add(first);
    source.add(second);
    ASSERT_TRUE(play_to_end());

    auto const record = device.record();
    ASSERT_TRUE(record.opens.size() == 2 && record.written.size() == 2) << record.opens.size() << " opens";
    EXPECT_EQ(std::pair(record.opens[0].samples_per_sec, record.opens[1].samples_per_sec), std::pair(22050u, 44100u));
    EXPECT_TRUE(record.written[0] == bytes_of(first) && record.written[1] == bytes_of(second))
        << record.written[0].size() << " and " << record.written[1].size() << " bytes";
    EXPECT_EQ(record.sizes.at(record.written[0].size() / 8820 + 1), 17640u) << "blocks of the new rate";
}

// Levels of each block the device returns: the peak per channel; mono shows its level on both.
TEST_F(PlayerPCMTest, LevelsArePeaksOfWhatWasJustPlayed)
{
    use_file_output(false);
    std::vector<int16_t> samples(8000 * 2 * 2); // 2 s of stereo: left peak 16384, right -8192
    for (size_t i = 0; i < samples.size(); i += 2) {
        samples[i] = static_cast<int16_t>(i % 64 == 0 ? 16384 : 100);
        samples[i + 1] = static_cast<int16_t>(i % 64 == 0 ? -8192 : 10);
    }
    source.add(audio_test::buffer16(samples, 8000, 2));
    player.play();
    while (player.level(0) == 0.0 && !player.is_finished())
        core::sleep(0.005);
    EXPECT_EQ((std::vector { player.level(0), player.level(-3), player.level(1), player.level(7) }),
        (std::vector { 0.5, 0.5, 0.25, 0.25 }));
    player.stop();
    ASSERT_TRUE(wait_finished(player));
}

// The Document's stop and an immediate play again: the device is released and opened anew; the rest of
// the stream plays to its end.
TEST_F(PlayerPCMTest, PlayRightAfterStopPlaysOn)
{
    std::string const path = use_file_output(false);
    source.add(tone(8000, 1, 24000));
    player.play();
    while (device.record().sizes.size() < 6)
        core::sleep(0.005);
    // Six blocks of 1600 frames took two pulls of 5000; a stop drops what they left over, and what was
    // queued may be cut, but the 14000 frames not pulled yet are played.
    player.stop();
    EXPECT_TRUE(player.is_finished());
    ASSERT_TRUE(play_to_end());
    EXPECT_GE(played(path).size(), 28000u);
    EXPECT_TRUE(play_to_end()) << "nothing is left";
}

TEST(PlayerPCMDeathTest, PushingToThePlayerIsAProgrammingError)
{
    PlayerPCM player;
    EXPECT_DEATH(player.on_data(tone(8000, 1, 10)), "on_data unexpected - player is active object");
}

// The player thread pulls a stream while the main thread pauses, resumes, sets the volume and reads the
// levels, as the playback screen does; the file must hold the stream exactly.
TEST_F(PlayerPCMTest, CommandsFromTheMainThreadWhileThePlayerPulls)
{
    std::string const path = use_file_output();
    AudioBuffer const stream = tone(16000, 1, 16000 * 20, 7);
    source.add(stream);
    player.play();
    bool levels_in_range = true;
    for (int i = 0; !player.is_finished() && i < 100000; ++i) {
        i % 3 == 0 ? player.pause() : player.play();
        player.set_volume(1.0);
        levels_in_range = levels_in_range && player.level(0) >= 0.0 && player.level(1) <= 1.0;
        core::sleep(0.0001 * (i % 2));
    }
    ASSERT_TRUE(play_to_end(60));
    EXPECT_TRUE(levels_in_range);
    std::string const out = played(path);
    ASSERT_EQ(out.size(), stream.length());
    EXPECT_TRUE(out == bytes_of(stream)) << "the stream was not played exactly";
}

} // namespace
