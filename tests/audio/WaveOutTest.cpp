#include "AudioTestSupport.h"

#include <TestSupport.h>
#include <array>
#include <gtest/gtest.h>
#include <platform/messages.h>
#include <platform/ticks.h>
#include <platform/wave.h>

using namespace platform;

namespace {

WaveFormat pcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    WaveFormat f;
    f.channels = channels;
    f.samples_per_sec = rate;
    f.bits_per_sample = bits;
    f.block_align = static_cast<uint16_t>(channels * bits / 8);
    f.avg_bytes_per_sec = f.block_align * rate;
    return f;
}

// The data chunk of a WAV file that the file output wrote, with its format fields.
struct Written {
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0, data_size = 0;
    std::vector<int16_t> samples; // 16-bit files
    std::string bytes;
};

Written read_output(std::string const& path)
{
    std::string const b = testing_support::read_file(path);
    Written w;
    if (b.size() < 44)
        return w;
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    w.channels = u16(22);
    w.rate = u32(24);
    w.bits = u16(34);
    w.data_size = u32(40);
    w.bytes = b.substr(44);
    for (size_t i = 44; i + 1 < b.size(); i += 2)
        w.samples.push_back(static_cast<int16_t>(u16(i)));
    return w;
}

class WaveOutTest : public ::testing::Test {
protected:
    void SetUp() override { ensure_queue(); } // device messages come to this thread
    void TearDown() override
    {
        select_wave_output("none");
        Message m;
        while (peek_message(m, 0, 0, 0, Peek::REMOVE)) { }
    }

    std::string use_file(bool fast = true)
    {
        std::string const path = testing_support::fresh_dir("speaker") + "/out.wav";
        select_wave_output("file:" + path + (fast ? ",fast" : ""));
        return path;
    }

    WaveHandle open(WaveFormat const& format)
    {
        WaveHandle handle = 0;
        EXPECT_EQ(
            wave_out_open(handle, WAVE_MAPPER, format, current_thread_id(), 0, CALLBACK_THREAD), MMSYSERR_NOERROR);
        EXPECT_EQ(next().message, MM_WOM_OPEN);
        return handle;
    }

    // The next device message for this thread.
    Message next()
    {
        Message m;
        get_message(m, THREAD_MESSAGES, MM_WOM_OPEN, MM_WOM_DONE);
        return m;
    }

    void close(WaveHandle handle)
    {
        EXPECT_EQ(wave_out_close(handle), MMSYSERR_NOERROR);
        EXPECT_EQ(next().message, MM_WOM_CLOSE);
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
// each; an empty block comes back too; the file holds what was played; close waits for the queue.
TEST_F(WaveOutTest, BlocksArePlayedInOrderAndComeBackDone)
{
    std::string const path = use_file();
    EXPECT_EQ(wave_out_get_num_devs(), 1u);
    WaveHandle const handle = open(pcm(1, 8000, 16));
    std::vector<int16_t> samples(300);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 97 - 14000);
    std::string const all = audio_test::pcm16(samples);
    std::array<Block, 3> blocks { Block(all.substr(0, 200)), Block(""), Block(all.substr(200)) };

    EXPECT_EQ(wave_out_write(handle, blocks[0].header), WAVERR_UNPREPARED);
    ASSERT_EQ(wave_out_pause(handle), MMSYSERR_NOERROR); // held until every block is queued
    for (auto& b : blocks) {
        ASSERT_EQ(wave_out_prepare_header(handle, b.header), MMSYSERR_NOERROR);
        ASSERT_EQ(wave_out_write(handle, b.header), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(wave_out_write(handle, blocks[0].header), WAVERR_STILLPLAYING);
    EXPECT_EQ(wave_out_unprepare_header(handle, blocks[0].header), WAVERR_STILLPLAYING);
    EXPECT_EQ(wave_out_close(handle), WAVERR_STILLPLAYING);
    sleep_ms(30);
    EXPECT_EQ(blocks[0].header.flags.load(), WHDR_PREPARED | WHDR_INQUEUE) << "a paused device plays nothing";
    EXPECT_EQ(read_output(path).data_size, 0u);

    ASSERT_EQ(wave_out_restart(handle), MMSYSERR_NOERROR);
    for (auto& b : blocks) {
        Message const m = next();
        ASSERT_EQ(m.message, MM_WOM_DONE);
        EXPECT_EQ(m.wparam, handle);
        EXPECT_EQ(reinterpret_cast<WaveBlock*>(m.lparam), &b.header);
        EXPECT_EQ(b.header.flags.load(), WHDR_PREPARED | WHDR_DONE);
        EXPECT_EQ(wave_out_unprepare_header(handle, b.header), MMSYSERR_NOERROR);
    }
    close(handle);
    EXPECT_EQ(wave_out_write(handle, blocks[0].header), MMSYSERR_INVALHANDLE);

    Written const w = read_output(path);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 8000u);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.data_size, all.size());
    EXPECT_EQ(w.bytes, all);
}

TEST_F(WaveOutTest, ResetReturnsWhatIsQueuedUnplayed)
{
    std::string const path = use_file();
    WaveHandle const handle = open(pcm(2, 11025, 16));
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
    EXPECT_EQ(read_output(path).data_size, 0u);
}

// The volume scales each channel as the device would; full volume leaves every sample as it is.
TEST_F(WaveOutTest, TheVolumeScalesEachChannel)
{
    std::string const path = use_file();
    WaveHandle const handle = open(pcm(2, 8000, 16));
    uint32_t volume = 0;
    ASSERT_EQ(wave_out_get_volume(handle, volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    Block full(audio_test::pcm16({ 30000, -30000, 123, -7 }));
    Block scaled(audio_test::pcm16({ 30000, -30000, 20000, 20000 }));
    for (Block* block : { &full, &scaled }) {
        wave_out_prepare_header(handle, block->header);
        wave_out_write(handle, block->header);
        next();
        wave_out_set_volume(handle, 0x8000FFFFu); // left full, right about half
    }
    close(handle);
    EXPECT_EQ(
        read_output(path).samples, (std::vector<int16_t> { 30000, -30000, 123, -7, 30000, -15000, 20000, 10000 }));
}

// The file keeps the format of the device opened first; what a later device plays in another format is
// converted to it, so everything played is in the one file.
TEST_F(WaveOutTest, ALaterFormatIsConvertedToTheFilesFormat)
{
    std::string const path = use_file();
    WaveHandle first = open(pcm(1, 22050, 16));
    Block a(audio_test::pcm16({ 1000, 2000, 3000 }));
    wave_out_prepare_header(first, a.header);
    wave_out_write(first, a.header);
    next();
    close(first);

    // Twice the rate, stereo: every other frame, the two channels' mean.
    WaveHandle second = open(pcm(2, 44100, 16));
    Block b(audio_test::pcm16({ 100, 300, -5, -5, 7, 8, 9, 9, -101, -100, 0, 0 }));
    wave_out_prepare_header(second, b.header);
    wave_out_write(second, b.header);
    next();
    close(second);

    // Half the rate, 8 bits: each frame twice, the way between two frames interpolated.
    WaveHandle third = open(pcm(1, 11025, 8));
    Block c(std::string { '\x80', '\xC0' });
    wave_out_prepare_header(third, c.header);
    wave_out_write(third, c.header);
    next();
    close(third);

    Written const w = read_output(path);
    EXPECT_EQ(w.rate, 22050u);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.samples, (std::vector<int16_t> { 1000, 2000, 3000, 200, 8, -101, 0, 8192, 16384, 16384 }));
}

TEST_F(WaveOutTest, WithoutASpeakerOpenFailsAndBeepsReturnAtOnce)
{
    select_wave_output("none");
    EXPECT_EQ(wave_out_get_num_devs(), 0u);
    WaveHandle handle = 7;
    EXPECT_EQ(wave_out_open(handle, WAVE_MAPPER, pcm(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD),
        MMSYSERR_BADDEVICEID);
    EXPECT_EQ(handle, 0u);
    std::string const beep = testing_support::fresh_dir("beep") + "/beep.wav";
    testing_support::write_file(beep, audio_test::wav_bytes(1, 1, 8000, 16, audio_test::pcm16({ 1, 2, 3 })));
    EXPECT_FALSE(play_sound_file(core::from_utf8(beep)));

    select_wave_output("loudspeaker");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(wave_out_open(handle, WAVE_MAPPER, pcm(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD),
        MMSYSERR_NODRIVER);
    std::string const error = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_NE(error.find("loudspeaker"), std::string::npos);

    select_wave_output("file:/nonexistent-folder/out.wav,fast");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(wave_out_open(handle, WAVE_MAPPER, pcm(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD),
        MMSYSERR_NODRIVER);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("nonexistent-folder"), std::string::npos);

    // SDL with no device to play on: a beep is skipped without a word.
    setenv("SDL_AUDIODRIVER", "ravelin-no-such-driver", 1);
    select_wave_output("sdl");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(play_sound_file(core::from_utf8(beep)));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    unsetenv("SDL_AUDIODRIVER");
    select_wave_output("none");
}

// A beep plays to its end before the call returns, in real time.
TEST_F(WaveOutTest, ASoundFilePlaysBeforeTheCallReturns)
{
    std::string const path = use_file(false);
    std::vector<int16_t> samples(1600); // 0.2 s
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i % 40) * 800 - 16000);
    std::string const beep = testing_support::fresh_dir("beep") + "/beep.wav";
    testing_support::write_file(beep, audio_test::wav_bytes(1, 1, 8000, 16, audio_test::pcm16(samples)));
    uint32_t const start = tick_count();
    EXPECT_TRUE(play_sound_file(core::from_utf8(beep)));
    EXPECT_GE(tick_count() - start, 190u);
    EXPECT_EQ(read_output(path).samples, samples);

    testing_support::write_file(beep, "RIFF, but not a sound");
    EXPECT_FALSE(play_sound_file(core::from_utf8(beep)));
    EXPECT_FALSE(play_sound_file(u"/no/such/beep.wav"));
}

} // namespace
