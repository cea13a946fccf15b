#include "AudioTestSupport.h"

#include <array>

using namespace platform;
using audio_test::pcm16;
using audio_test::wave_format;
using testing_support::read_file;
using testing_support::wav16;

namespace {

class WaveOutTest : public audio_test::DeviceTest {
protected:
    static uint32_t open_device(WaveHandle& handle, WaveFormat const& format)
    {
        return wave_out_open(handle, WAVE_MAPPER, format, current_thread_id(), 0, CALLBACK_THREAD);
    }
    WaveHandle open(WaveFormat const& format)
    {
        WaveHandle handle = 0;
        EXPECT_EQ(open_device(handle, format), MMSYSERR_NOERROR);
        EXPECT_EQ(next().message, MM_WOM_OPEN);
        return handle;
    }

    void close(WaveHandle handle)
    {
        EXPECT_EQ(wave_out_close(handle), MMSYSERR_NOERROR);
        EXPECT_EQ(next().message, MM_WOM_CLOSE);
    }

    // Plays one block and waits for it to come back.
    void play(WaveHandle handle, WaveBlock& block)
    {
        EXPECT_EQ(wave_out_prepare_header(handle, block), MMSYSERR_NOERROR);
        EXPECT_EQ(wave_out_write(handle, block), MMSYSERR_NOERROR);
        EXPECT_EQ(reinterpret_cast<WaveBlock*>(next().lparam), &block);
    }
};

struct Block {
    std::vector<uint8_t> data;
    WaveBlock header;
    explicit Block(std::string const& bytes)
        : data(bytes.begin(), bytes.end())
    {
        data.reserve(1); // an empty block still has a buffer
        header.data = data.data();
        header.buffer_length = static_cast<uint32_t>(data.size());
    }
};

// The handheld's protocol: blocks prepared and written come back done in order with a message naming
// each; an empty block comes back too; the file holds what was played; close waits for the queue. The
// rules of preparing and queueing a block are the device core's, shown by the input's test. Rates below a
// microphone's lowest play too (old dictation files have 6 kHz); under 1 kHz nothing is sound.
TEST_F(WaveOutTest, BlocksArePlayedInOrderAndComeBackDone)
{
    std::string const path = use_file_output();
    EXPECT_EQ(wave_out_get_num_devs(), 1u);
    WaveHandle refused = 0;
    EXPECT_EQ(open_device(refused, wave_format(1, 999, 16)), WAVERR_BADFORMAT);
    WaveHandle const handle = open(wave_format(1, 6000, 16));
    std::vector<int16_t> const samples = audio_test::ramp(300, 97, -14000);
    std::string const all = pcm16(samples);
    std::array<Block, 3> blocks { Block(all.substr(0, 200)), Block(""), Block(all.substr(200)) };

    ASSERT_EQ(wave_out_pause(handle), MMSYSERR_NOERROR); // held until every block is queued
    for (auto& b : blocks) {
        ASSERT_EQ(wave_out_prepare_header(handle, b.header), MMSYSERR_NOERROR);
        ASSERT_EQ(wave_out_write(handle, b.header), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(wave_out_close(handle), WAVERR_STILLPLAYING);
    sleep_ms(30);
    EXPECT_EQ(blocks[0].header.flags.load(), WHDR_PREPARED | WHDR_INQUEUE) << "a paused device plays nothing";
    EXPECT_EQ(read_file(path).size(), 44u);

    ASSERT_EQ(wave_out_restart(handle), MMSYSERR_NOERROR);
    for (auto& b : blocks) {
        Message const m = next();
        EXPECT_EQ(std::tuple(m.message, m.wparam, reinterpret_cast<WaveBlock*>(m.lparam), b.header.flags.load()),
            std::tuple(MM_WOM_DONE, uintptr_t(handle), &b.header, WHDR_PREPARED | WHDR_DONE));
        EXPECT_EQ(wave_out_unprepare_header(handle, b.header), MMSYSERR_NOERROR);
    }
    close(handle);

    // The file output's whole file: a canonical 16-bit PCM WAV file of what was played.
    EXPECT_EQ(read_file(path), wav16(6000, samples));
}

TEST_F(WaveOutTest, ResetReturnsWhatIsQueuedUnplayed)
{
    std::string const path = use_file_output();
    WaveHandle const handle = open(wave_format(2, 11025, 16));
    Block a(std::string(400, '\x11')), b(std::string(400, '\x22'));
    wave_out_pause(handle);
    for (Block* block : { &a, &b }) {
        wave_out_prepare_header(handle, block->header);
        wave_out_write(handle, block->header);
    }
    EXPECT_EQ(wave_out_reset(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(reinterpret_cast<WaveBlock*>(next().lparam), &a.header);
    EXPECT_EQ(reinterpret_cast<WaveBlock*>(next().lparam), &b.header);
    close(handle);
    EXPECT_EQ(read_file(path), wav16(11025, {}, 2));
}

// The volume scales each channel as the device would; full volume leaves every sample as it is.
TEST_F(WaveOutTest, TheVolumeScalesEachChannel)
{
    std::string const path = use_file_output();
    WaveHandle const handle = open(wave_format(2, 8000, 16));
    uint32_t volume = 0;
    ASSERT_EQ(wave_out_get_volume(handle, volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    Block full(pcm16({ 30000, -30000, 123, -7 })), scaled(pcm16({ 30000, -30000, 20000, 20000 }));
    play(handle, full.header);
    wave_out_set_volume(handle, 0x8000FFFFu); // left full, right about half
    play(handle, scaled.header);
    close(handle);
    EXPECT_EQ(read_file(path), wav16(8000, { 30000, -30000, 123, -7, 30000, -15000, 20000, 10000 }, 2));
}

// The file keeps the format of the device opened first; what a later device plays in another format is
// converted to it, so everything played is in the one file.
TEST_F(WaveOutTest, ALaterFormatIsConvertedToTheFilesFormat)
{
    std::string const path = use_file_output();
    std::pair<WaveFormat, std::string> const devices[] = {
        { wave_format(1, 22050, 16), pcm16({ 1000, 2000, 3000 }) },
        { wave_format(1, 44100, 16), pcm16({ 10, 20, 30, 40 }) }, // the rate alone differs
        // Twice the rate, stereo: every other frame, the two channels' mean.
        { wave_format(2, 44100, 16), pcm16({ 100, 300, -5, -5, 7, 8, 9, 9, -101, -100, 0, 0 }) },
        // Half the rate, 8 bits: each frame twice, the way between two frames interpolated.
        { wave_format(1, 11025, 8), std::string { '\x80', '\xC0' } },
    };
    for (auto const& [format, bytes] : devices) {
        WaveHandle const handle = open(format);
        Block block(bytes);
        play(handle, block.header);
        close(handle);
    }
    EXPECT_EQ(read_file(path), wav16(22050, { 1000, 2000, 3000, 10, 30, 200, 8, -101, 0, 8192, 16384, 16384 }));
}

TEST_F(WaveOutTest, WithoutASpeakerOpenFailsAndBeepsReturnAtOnce)
{
    select_wave_output("none");
    EXPECT_EQ(wave_out_get_num_devs(), 0u);
    WaveHandle handle = 7;
    EXPECT_EQ(open_device(handle, wave_format(1, 8000, 16)), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(handle, 0u);
    std::string const beep = testing_support::fresh_dir("beep") + "/beep.wav";
    testing_support::write_file(beep, wav16(8000, { 1, 2, 3 }));
    EXPECT_FALSE(play_sound_file(core::from_utf8(beep)));

    // A backend that cannot start says why in one line.
    for (std::string const name : { "loudspeaker", "file:/nonexistent-folder/out.wav,fast" }) {
        select_wave_output(name);
        std::string const error = audio_test::stderr_of(
            [&] { EXPECT_EQ(open_device(handle, wave_format(1, 8000, 16)), MMSYSERR_NODRIVER); });
        EXPECT_TRUE(audio_test::one_line_naming(error, name == "loudspeaker" ? name : "nonexistent-folder"));
    }

    // SDL with no device to play on: a beep is skipped without a word.
    setenv("SDL_AUDIODRIVER", "ravelin-no-such-driver", 1);
    select_wave_output("sdl");
    EXPECT_EQ(audio_test::stderr_of([&] { EXPECT_FALSE(play_sound_file(core::from_utf8(beep))); }), "");
    unsetenv("SDL_AUDIODRIVER");
    select_wave_output("none");
}

// A beep plays to its end before the call returns, in real time.
TEST_F(WaveOutTest, ASoundFilePlaysBeforeTheCallReturns)
{
    std::string const path = use_file_output(false);
    std::vector<int16_t> const samples = audio_test::ramp(1600); // 0.2 s
    std::string const beep = testing_support::fresh_dir("beep") + "/beep.wav";
    testing_support::write_file(beep, wav16(8000, samples));
    uint32_t const start = tick_count();
    EXPECT_TRUE(play_sound_file(core::from_utf8(beep)));
    EXPECT_GE(tick_count() - start, 190u);
    EXPECT_EQ(read_file(path), wav16(8000, samples));

    testing_support::write_file(beep, "RIFF, but not a sound");
    EXPECT_FALSE(play_sound_file(core::from_utf8(beep)) || play_sound_file(u"/no/such/beep.wav"));
}

} // namespace
