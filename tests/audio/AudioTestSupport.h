#pragma once

#include <TestSupport.h>
#include <algorithm>
#include <audio/AudioConsumer.h>
#include <core/Event.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <platform/messages.h>
#include <platform/wave/wave.h>
#include <string>
#include <string_view>
#include <vector>

// Helpers of the audio tests: bytes as RIFF files hold them, buffers made from samples, a consumer that
// keeps what it is given, and the wave devices chosen per test.
namespace audio_test {

// `size` bytes of `value`, least significant first.
inline std::string le(uint64_t value, int size)
{
    std::string s;
    for (int i = 0; i < size; ++i)
        s += static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

// The little-endian number of `size` bytes at `at` in `bytes`.
inline uint32_t le_at(std::string_view bytes, size_t at, int size = 4)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + size_t(i)]);
    return value;
}

// `count` samples going up by `step` from `start`, wrapping round as 16-bit numbers do.
inline std::vector<int16_t> ramp(size_t count, int step = 7919, int start = 0)
{
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = static_cast<int16_t>(start + int64_t(i) * step);
    return s;
}

// 16-bit PCM data from interleaved samples.
inline std::string pcm16(std::vector<int16_t> const& samples)
{
    std::string s;
    for (int16_t v : samples)
        s += le(static_cast<uint16_t>(v), 2);
    return s;
}

// The samples of 16-bit PCM data; a stray last byte does not count.
inline std::vector<int16_t> samples16(std::string_view bytes)
{
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(le_at(bytes, 2 * i, 2));
    return out;
}

inline std::string bytes_of(audio::AudioBuffer const& buffer)
{
    return std::string(reinterpret_cast<char const*>(buffer.data.data()), buffer.length());
}

inline std::vector<int16_t> samples16(audio::AudioBuffer const& buffer)
{
    return samples16(bytes_of(buffer));
}

// A 16-bit buffer of interleaved samples.
inline audio::AudioBuffer buffer16(std::vector<int16_t> const& samples, int32_t rate, int32_t channels = 1)
{
    std::string const bytes = pcm16(samples);
    return audio::AudioBuffer(
        core::SharedBuffer(bytes.size(), bytes.data()), audio::AudioFormat { channels, 16, rate });
}

// Keeps every buffer it is given (under its own lock, as every delivery is).
class Collector : public audio::AudioConsumer {
public:
    void on_data(audio::AudioBuffer const& buffer) override
    {
        core::Lock guard(lock());
        buffers_.push_back(buffer);
    }
    std::vector<audio::AudioBuffer> buffers()
    {
        core::Lock guard(lock());
        return buffers_;
    }
    std::string bytes()
    {
        std::string all;
        for (auto const& b : buffers())
            all += bytes_of(b);
        return all;
    }
    std::vector<int16_t> samples() { return samples16(bytes()); }

private:
    std::vector<audio::AudioBuffer> buffers_;
};

inline std::string chunk(std::string const& id, std::string const& body)
{
    return id + le(body.size(), 4) + body;
}

// A WAV file's bytes: a 'fmt ' chunk holding `fmt`, the chunks `before_data`, and a 'data' chunk.
inline std::string riff_wave(std::string const& fmt, std::string const& data, std::string const& before_data = "")
{
    return chunk("RIFF", "WAVE" + chunk("fmt ", fmt) + before_data + chunk("data", data));
}

// A 'fmt ' chunk of 16 bytes.
inline std::string fmt16(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    uint16_t const align = static_cast<uint16_t>(channels * bits / 8);
    return le(tag, 2) + le(channels, 2) + le(rate, 4) + le(uint64_t(rate) * align, 4) + le(align, 2) + le(bits, 2);
}

// A WAV file's bytes: a RIFF header, a 'fmt ' chunk of 16 bytes and a 'data' chunk.
inline std::string wav_bytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::string const& data)
{
    return riff_wave(fmt16(tag, channels, rate, bits), data);
}

// The 'fmt ' chunk of mono GSM 6.10 at `rate`: blocks of 65 bytes holding 320 samples.
inline std::string gsm_fmt(uint32_t rate = 8000)
{
    return le(49, 2) + le(1, 2) + le(rate, 4) + le(1625, 4) + le(65, 2) + le(0, 2) + le(2, 2) + le(320, 2);
}

inline platform::WaveFormat wave_format(uint16_t channels, uint32_t rate, uint16_t bits)
{
    uint16_t const align = static_cast<uint16_t>(channels * bits / 8);
    return platform::WaveFormat { platform::WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0 };
}

// What `action` writes on standard error.
template <typename Action> std::string stderr_of(Action&& action)
{
    ::testing::internal::CaptureStderr();
    action();
    return ::testing::internal::GetCapturedStderr();
}

// A failing backend explains itself in one line that names what failed.
inline ::testing::AssertionResult one_line_naming(std::string const& error, std::string const& name)
{
    if (std::count(error.begin(), error.end(), '\n') == 1 && error.find(name) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not one line naming " << name << ": " << error;
}

// Each test chooses its microphone and speaker; the test program's default is neither. Device messages
// come to the test's thread, and none is left for the next test.
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ensure_queue(); }
    void TearDown() override
    {
        platform::select_wave_input("none");
        platform::select_wave_output("none");
        platform::Message m;
        while (platform::peek_message(m, 0, 0, 0, platform::Peek::REMOVE)) { }
    }

    // The next message of a wave device for this thread.
    static platform::Message next()
    {
        platform::Message m;
        platform::get_message(m, platform::THREAD_MESSAGES, platform::MM_WOM_OPEN, platform::MM_WIM_DATA);
        return m;
    }

    // A WAV file in a fresh folder as the microphone, in real time or as fast as blocks are queued.
    static std::string use_wav_input(std::string const& bytes, bool fast = true)
    {
        std::string const path = testing_support::fresh_dir("mic") + "/input.wav";
        testing_support::write_file(path, bytes);
        platform::select_wave_input("file:" + path + (fast ? ",fast" : ""));
        return path;
    }

    // A WAV file in a fresh folder as the speaker; answers its path.
    static std::string use_file_output(bool fast = true)
    {
        std::string const path = testing_support::fresh_dir("speaker") + "/out.wav";
        platform::select_wave_output("file:" + path + (fast ? ",fast" : ""));
        return path;
    }

    // The samples the file speaker at `path` was given, after its header.
    static std::string played(std::string const& path) { return testing_support::read_file(path).substr(44); }
};

} // namespace audio_test
