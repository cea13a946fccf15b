#pragma once

#include <TestSupport.h>
#include <algorithm>
#include <audio/AudioConsumer.h>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
#include <core/Event.h>
#include <platform/wave/wave.h>

// Helpers of the audio tests and of those above them: buffers made from samples, a consumer that keeps
// what it is given, a file's ID3 tag, and the wave devices chosen per test.
namespace audio_test {

using testing_support::chunk;
using testing_support::fmt16;
using testing_support::le;
using testing_support::le_at;
using testing_support::pcm16;
using testing_support::riff_wave;
using testing_support::samples16;
using testing_support::wav_bytes;

// `count` samples going up by `step` from `start`, wrapping round as 16-bit numbers do.
inline std::vector<int16_t> ramp(size_t count, int step = 7919, int start = 0)
{
    std::vector<int16_t> s(count);
    for (size_t i = 0; i < count; ++i)
        s[i] = static_cast<int16_t>(start + int64_t(i) * step);
    return s;
}

// The ID3 tag at the start of a file (empty when it has none).
inline audio::Id3Tag tag_of(std::string const& path)
{
    os::File file(core::from_utf8(path), os::FileMode::Read);
    audio::BufferedInStream in(file, 4096);
    audio::Id3Tag tag;
    tag.read(in);
    return tag;
}

// The bytes `tag` writes through a buffered output (as the Document writes it); whether it did, in `ok`
// (without `ok`, a tag not written is a failure).
inline std::string tag_bytes(audio::Id3Tag const& tag, uint32_t fixed = 0, bool* ok = nullptr)
{
    std::string const path = testing_support::fresh_dir("id3") + "/w.mp3";
    {
        os::File file(core::from_utf8(path), os::FileMode::Write);
        audio::BufferedOutStream out(file, 65536);
        bool const written = tag.write(out, fixed) && out.flush();
        if (ok)
            *ok = written;
        else
            EXPECT_TRUE(written) << "the tag was not written";
    }
    return testing_support::read_file(path);
}

// Whether the tag's picture holds `bytes`.
inline bool has_picture(audio::Id3Tag const& tag, std::vector<uint8_t> const& bytes)
{
    auto const picture
        = std::find_if(tag.frames().begin(), tag.frames().end(), [](auto const& f) { return f.name() == "APIC"; });
    if (picture == tag.frames().end())
        return false;
    auto const* data = picture->data.data();
    std::vector<uint8_t> const held(data, data + picture->data.length());
    return std::search(held.begin(), held.end(), bytes.begin(), bytes.end()) != held.end();
}

inline std::string bytes_of(audio::AudioBuffer const& buffer)
{
    return std::string(reinterpret_cast<char const*>(buffer.data.data()), buffer.length());
}

inline std::vector<int16_t> samples16(audio::AudioBuffer const& buffer)
{
    return testing_support::samples16(bytes_of(buffer));
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
        testing_support::drain_messages();
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
