#include "AudioTestSupport.h"

#include <audio/PlayerPCM.h>
#include <audio/readers/FileReader.h>

using namespace platform;

namespace {

using PlaybackPositionTest = audio_test::DeviceTest;

// The device's position in each unit after 800 frames of 8 kHz mono; a pause holds it, a reset starts
// it again from nothing.
TEST_F(PlaybackPositionTest, TheDeviceSaysWhatItPlayedInEachUnit)
{
    use_file_output();
    WaveHandle handle = 0;
    ASSERT_EQ(wave_out_open(
                  handle, WAVE_MAPPER, audio_test::wave_format(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD),
        MMSYSERR_NOERROR);
    ASSERT_EQ(next().message, MM_WOM_OPEN);
    std::vector<uint8_t> data(1600);
    WaveBlock block;
    block.data = data.data();
    block.buffer_length = 1600;
    auto const write = [&](bool done) {
        ASSERT_EQ(wave_out_prepare_header(handle, block), MMSYSERR_NOERROR);
        ASSERT_EQ(wave_out_write(handle, block), MMSYSERR_NOERROR);
        ASSERT_TRUE(!done || next().message == MM_WOM_DONE);
    };
    auto const position = [&](uint32_t type) {
        WaveTime time { type, 0 };
        EXPECT_EQ(wave_out_get_position(handle, time), MMSYSERR_NOERROR);
        return std::pair(time.type, uint64_t(time.value));
    };
    write(true);
    for (auto const& [asked, answer] :
        { std::pair(TIME_BYTES, std::pair(TIME_BYTES, 1600ul)), std::pair(TIME_SAMPLES, std::pair(TIME_SAMPLES, 800ul)),
            std::pair(TIME_MS, std::pair(TIME_MS, 100ul)), std::pair(0x08u, std::pair(TIME_BYTES, 1600ul)) })
        EXPECT_EQ(position(asked), answer) << "asked " << asked;
    wave_out_pause(handle);
    write(false);
    EXPECT_EQ(position(TIME_BYTES).second, 1600u) << "paused";
    wave_out_reset(handle);
    ASSERT_EQ(next().message, MM_WOM_DONE);
    EXPECT_EQ(position(TIME_BYTES).second, 0u) << "reset";
    wave_out_restart(handle);
    write(true);
    EXPECT_EQ(position(TIME_BYTES).second, 1600u);
    EXPECT_EQ(wave_out_close(handle), MMSYSERR_NOERROR);
    ASSERT_EQ(next().message, MM_WOM_CLOSE);
    WaveTime time;
    EXPECT_EQ(wave_out_get_position(handle, time), MMSYSERR_INVALHANDLE);
}

// A seek once the whole stream was pulled, while the device plays out its last blocks: what is left of
// them is dropped and the stream plays again from the new place, to its end, before the player says it
// has finished.
TEST_F(PlaybackPositionTest, ASeekWhileTheLastBlocksPlayPlaysOnFromTheNewPlace)
{
    std::string const speaker = use_file_output(false);
    std::string const stream = audio_test::pcm16(audio_test::ramp(4000, 3)); // half a second
    std::string const path = testing_support::fresh_dir("recordings") + "/short.wav";
    testing_support::write_file(path, testing_support::wav_bytes(1, 1, 8000, 16, stream));
    auto reader = audio::create_reader(core::from_utf8(path));
    ASSERT_TRUE(reader);
    audio::PlayerPCM player;
    connect(reader->source(), &player);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(testing_support::wait_until([&] { return testing_support::read_file(speaker).size() >= 44 + 1600; }));
    player.seek([&] { reader->info().seek(0); });
    ASSERT_TRUE(testing_support::wait_until([&] { return player.is_finished(); }));
    std::string const heard = played(speaker);
    ASSERT_GT(heard.size(), stream.size());
    EXPECT_TRUE(heard.ends_with(stream)) << heard.size() << " bytes";
    EXPECT_EQ(player.queued_seconds(), 0.0);
    connect(reader->source(), nullptr);
}

} // namespace
