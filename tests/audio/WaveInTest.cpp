#include "AudioTestSupport.h"

#include <array>
#include <random>

using namespace platform;

namespace {

using WaveInTest = audio_test::DeviceTest;

uint32_t open_input(WaveHandle& handle)
{
    return wave_in_open(
        handle, WAVE_MAPPER, audio_test::wave_format(1, 8000, 16), current_thread_id(), 0, CALLBACK_THREAD);
}

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
    std::vector<int16_t> const samples = audio_test::ramp(260, 100, -13000);
    use_wav_input(testing_support::wav16(8000, samples));
    WaveHandle handle = 0;
    ASSERT_EQ(open_input(handle), MMSYSERR_NOERROR);
    Message m = next();
    EXPECT_EQ(std::pair(m.message, m.wparam), std::pair(MM_WIM_OPEN, uintptr_t(handle)));

    Blocks b;
    EXPECT_EQ(wave_in_add_buffer(handle, b.blocks[0]), WAVERR_UNPREPARED);
    for (auto& block : b.blocks) {
        ASSERT_EQ(wave_in_prepare_header(handle, block), MMSYSERR_NOERROR);
        ASSERT_EQ(wave_in_add_buffer(handle, block), MMSYSERR_NOERROR);
        EXPECT_EQ(block.flags.load(), WHDR_PREPARED | WHDR_INQUEUE);
    }
    EXPECT_EQ((std::array { wave_in_add_buffer(handle, b.blocks[0]), wave_in_unprepare_header(handle, b.blocks[0]),
                  wave_in_close(handle) }),
        (std::array { WAVERR_STILLPLAYING, WAVERR_STILLPLAYING, WAVERR_STILLPLAYING }));
    EXPECT_EQ(wave_in_start(handle), MMSYSERR_NOERROR);

    // 520 bytes in blocks of 100: five full, then 20 bytes; the three blocks go round.
    std::string received;
    for (int expected = 0; expected < 6; ++expected) {
        m = next();
        ASSERT_EQ(m.message, MM_WIM_DATA);
        auto* block = reinterpret_cast<WaveBlock*>(m.lparam);
        ASSERT_EQ(block, &b.blocks[expected % 3]);
        EXPECT_EQ(std::pair(block->flags.load(), block->bytes_recorded.load()),
            std::pair(WHDR_PREPARED | WHDR_DONE, expected < 5 ? 100u : 20u));
        received.append(reinterpret_cast<char const*>(block->data), block->bytes_recorded.load());
        EXPECT_FALSE(wave_input_ended()) << "a filled block is still out";
        ASSERT_EQ(wave_in_add_buffer(handle, *block), MMSYSERR_NOERROR);
    }
    EXPECT_TRUE(wave_input_wait_end(5000));
    EXPECT_EQ(received, audio_test::pcm16(samples));

    EXPECT_EQ(wave_in_reset(handle), MMSYSERR_NOERROR);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(next().message, MM_WIM_DATA); // the queued blocks come back empty
    for (auto& block : b.blocks) {
        EXPECT_EQ(block.bytes_recorded.load(), 0u);
        EXPECT_EQ(wave_in_unprepare_header(handle, block), MMSYSERR_NOERROR);
    }
    EXPECT_EQ(wave_in_close(handle), MMSYSERR_NOERROR);
    EXPECT_EQ(next().message, MM_WIM_CLOSE);
    EXPECT_EQ(
        std::pair(wave_in_start(handle), wave_in_close(handle)), std::pair(MMSYSERR_INVALHANDLE, MMSYSERR_INVALHANDLE));
}

// Damaged copies of a good file, each read to its end: none may crash or read outside its buffers. A file
// that is refused, or missing, is named on one line.
TEST_F(WaveInTest, DamagedOrMissingFilesNeverCrashTheInputAndAreNamed)
{
    std::string const good = testing_support::wav16(11025, audio_test::ramp(3000, 31), 2);
    std::mt19937 random(99);
    int opened = 0;
    for (int trial = 0; trial < 300; ++trial) {
        std::string bytes = good.substr(0, std::uniform_int_distribution<size_t>(0, good.size())(random));
        int const flips = std::uniform_int_distribution<int>(1, 4)(random);
        for (int f = 0; f < flips && !bytes.empty(); ++f) {
            size_t const at = std::uniform_int_distribution<size_t>(0, std::min<size_t>(bytes.size(), 48) - 1)(random);
            bytes[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        }
        std::string const path = use_wav_input(bytes);
        WaveHandle handle = 0;
        uint32_t result = 0;
        std::string const error = audio_test::stderr_of([&] { result = open_input(handle); });
        if (result != MMSYSERR_NOERROR) {
            EXPECT_TRUE(audio_test::one_line_naming(error, path));
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
        while (!wave_input_wait_end(5))
            while (peek_message(m, THREAD_MESSAGES, MM_WIM_DATA, MM_WIM_DATA, Peek::REMOVE))
                wave_in_add_buffer(handle, *reinterpret_cast<WaveBlock*>(m.lparam));
        wave_in_reset(handle);
        EXPECT_EQ(wave_in_close(handle), MMSYSERR_NOERROR);
        while (peek_message(m, 0, 0, 0, Peek::REMOVE)) { }
    }
    EXPECT_GT(opened, 10) << "the damage should leave some files readable";
    // Refused outright: not RIFF, a chunk cut short, no data, samples no device takes, no file at all.
    std::string const twelve_bits = audio_test::wav_bytes(1, 1, 8000, 12, std::string(100, 'x'));
    for (std::string const& path : { use_wav_input("this is not a sound"), use_wav_input(good.substr(0, 22)),
             use_wav_input(good.substr(0, 36)), use_wav_input(twelve_bits), std::string("/no/such/folder/mic.wav") }) {
        select_wave_input("file:" + path);
        WaveHandle handle = 0;
        std::string const error = audio_test::stderr_of([&] { EXPECT_NE(open_input(handle), MMSYSERR_NOERROR); });
        EXPECT_TRUE(audio_test::one_line_naming(error, path));
    }
}

} // namespace
