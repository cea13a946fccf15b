#include "AudioTestSupport.h"

#include <TestSupport.h>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <platform/messages.h>
#include <platform/wave.h>
#include <random>

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

class WaveInTest : public ::testing::Test {
protected:
    void SetUp() override { ensure_queue(); } // device messages come to this thread
    void TearDown() override
    {
        select_wave_input("none");
        Message m;
        while (peek_message(m, 0, 0, 0, Peek::REMOVE)) { }
    }

    void use_wav(std::string const& bytes)
    {
        std::string const path = testing_support::fresh_dir("wave") + "/input.wav";
        testing_support::write_file(path, bytes);
        select_wave_input("file:" + path + ",fast");
    }

    // The next device message for this thread.
    Message next()
    {
        Message m;
        get_message(m, THREAD_MESSAGES, MM_WIM_OPEN, MM_WIM_DATA);
        return m;
    }
};

struct Blocks {
    std::array<std::array<uint8_t, 100>, 3> data {};
    std::array<WaveBlock, 3> blocks;
    Blocks()
    {
        for (size_t i = 0; i < blocks.size(); ++i) {
            blocks[i].data = data[i].data();
            blocks[i].buffer_length = 100;
        }
    }
};

// The handheld's protocol: open, blocks prepared and queued, each one filled comes back done with a
// message naming it, the input ends with a partial block, close says so.
TEST_F(WaveInTest, BlocksComeBackDoneInOrderWithTheirMessages)
{
    std::vector<int16_t> samples(260);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 100 - 13000);
    use_wav(audio_test::wav_bytes(1, 1, 8000, 16, audio_test::pcm16(samples)));

    WaveHandle handle = 0;
    ASSERT_EQ(
        wave_in_open(handle, WAVE_MAPPER, pcm(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD), MMSYSERR_NOERROR);
    Message m = next();
    EXPECT_EQ(m.message, MM_WIM_OPEN);
    EXPECT_EQ(m.wparam, handle);

    Blocks b;
    EXPECT_EQ(wave_in_add_buffer(handle, b.blocks[0]), WAVERR_UNPREPARED);
    for (auto& block : b.blocks) {
        ASSERT_EQ(wave_in_prepare_header(handle, block), MMSYSERR_NOERROR);
        ASSERT_EQ(wave_in_add_buffer(handle, block), MMSYSERR_NOERROR);
        EXPECT_EQ(block.flags.load(), WHDR_PREPARED | WHDR_INQUEUE);
    }
    EXPECT_EQ(wave_in_add_buffer(handle, b.blocks[0]), WAVERR_STILLPLAYING);
    EXPECT_EQ(wave_in_unprepare_header(handle, b.blocks[0]), WAVERR_STILLPLAYING);
    EXPECT_EQ(wave_in_close(handle), WAVERR_STILLPLAYING);
    EXPECT_EQ(wave_in_start(handle), MMSYSERR_NOERROR);

    // 520 bytes in blocks of 100: five full, then 20 bytes; the three blocks go round.
    std::vector<uint8_t> received;
    for (int expected = 0; expected < 6; ++expected) {
        m = next();
        ASSERT_EQ(m.message, MM_WIM_DATA);
        auto* block = reinterpret_cast<WaveBlock*>(m.lparam);
        ASSERT_EQ(block, &b.blocks[expected % 3]);
        EXPECT_EQ(block->flags.load(), WHDR_PREPARED | WHDR_DONE);
        EXPECT_EQ(block->bytes_recorded.load(), expected < 5 ? 100u : 20u);
        received.insert(received.end(), block->data, block->data + block->bytes_recorded.load());
        EXPECT_FALSE(wave_input_ended()) << "a filled block is still out";
        ASSERT_EQ(wave_in_add_buffer(handle, *block), MMSYSERR_NOERROR);
    }
    EXPECT_TRUE(wave_input_wait_end(5000));
    std::string const sent = audio_test::pcm16(samples);
    EXPECT_EQ(received, std::vector<uint8_t>(sent.begin(), sent.end()));

    EXPECT_EQ(wave_in_reset(handle), MMSYSERR_NOERROR);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(next().message, MM_WIM_DATA); // the queued blocks come back empty
    for (auto& block : b.blocks) {
        EXPECT_EQ(block.bytes_recorded.load(), 0u);
        EXPECT_EQ(wave_in_unprepare_header(handle, block), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(wave_in_close(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(next().message, MM_WIM_CLOSE);
    EXPECT_EQ(wave_in_start(handle), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(wave_in_close(handle), MMSYSERR_INVALHANDLE);
}

// Damaged copies of a good file, each read to its end: none may crash or read outside its buffers.
TEST_F(WaveInTest, DamagedFilesNeverCrashTheInput)
{
    std::vector<int16_t> samples(3000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 31);
    std::string const good = audio_test::wav_bytes(1, 2, 11025, 16, audio_test::pcm16(samples));
    std::mt19937 random(99);
    int opened = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::string bytes = good.substr(0, std::uniform_int_distribution<size_t>(0, good.size())(random));
        int const flips = std::uniform_int_distribution<int>(1, 4)(random);
        for (int f = 0; f < flips && !bytes.empty(); ++f) {
            size_t const at = std::uniform_int_distribution<size_t>(0, std::min<size_t>(bytes.size(), 48) - 1)(random);
            bytes[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        }
        use_wav(bytes);
        WaveHandle handle = 0;
        ::testing::internal::CaptureStderr();
        uint32_t const result
            = wave_in_open(handle, WAVE_MAPPER, pcm(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD);
        std::string const error = ::testing::internal::GetCapturedStderr();
        if (result != MMSYSERR_NOERROR) {
            EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
            continue;
        }
        ++opened;
        Blocks b;
        for (auto& block : b.blocks) {
            wave_in_prepare_header(handle, block);
            wave_in_add_buffer(handle, block);
        }
        wave_in_start(handle);
        // Re-queue every block that comes back until the file has been given in full.
        Message m;
        while (!wave_input_wait_end(5)) {
            while (peek_message(m, THREAD_MESSAGES, MM_WIM_DATA, MM_WIM_DATA, Peek::REMOVE))
                wave_in_add_buffer(handle, *reinterpret_cast<WaveBlock*>(m.lparam));
        }
        wave_in_reset(handle);
        EXPECT_EQ(wave_in_close(handle), MMSYSERR_NOERROR);
        while (peek_message(m, 0, 0, 0, Peek::REMOVE)) { }
    }
    EXPECT_GT(opened, 10) << "the damage should leave some files readable";
}

} // namespace
