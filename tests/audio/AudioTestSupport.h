#pragma once

#include <audio/AudioConsumer.h>
#include <core/Event.h>
#include <cstdint>
#include <string>
#include <vector>

// Helpers of the audio tests: buffers made from samples, a consumer that keeps what it is given, and
// WAV files written byte by byte.
namespace audio_test {

inline audio::AudioBuffer mono16(std::vector<int16_t> const& samples, int32_t rate)
{
    core::SharedBuffer bytes(samples.size() * 2);
    uint8_t* p = bytes.writable();
    for (size_t i = 0; i < samples.size(); ++i) {
        p[2 * i] = static_cast<uint8_t>(samples[i] & 0xFF);
        p[2 * i + 1] = static_cast<uint8_t>((static_cast<uint16_t>(samples[i]) >> 8) & 0xFF);
    }
    return audio::AudioBuffer(std::move(bytes), audio::AudioFormat { 1, 16, rate });
}

inline std::vector<int16_t> samples16(audio::AudioBuffer const& buffer)
{
    std::vector<int16_t> out(buffer.length() / 2);
    uint8_t const* p = buffer.data.data();
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    return out;
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
    std::vector<uint8_t> bytes()
    {
        core::Lock guard(lock());
        std::vector<uint8_t> all;
        for (auto const& b : buffers_)
            all.insert(all.end(), b.data.data(), b.data.data() + b.length());
        return all;
    }
    std::vector<int16_t> samples()
    {
        std::vector<int16_t> all;
        for (auto const& b : buffers()) {
            auto s = samples16(b);
            all.insert(all.end(), s.begin(), s.end());
        }
        return all;
    }

private:
    std::vector<audio::AudioBuffer> buffers_;
};

// A WAV file's bytes: a RIFF header, a 'fmt ' chunk of 16 bytes and a 'data' chunk.
inline std::string wav_bytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::string const& data)
{
    auto le = [](uint64_t value, int size) {
        std::string s;
        for (int i = 0; i < size; ++i)
            s += static_cast<char>((value >> (8 * i)) & 0xFF);
        return s;
    };
    uint16_t const align = static_cast<uint16_t>(channels * bits / 8);
    std::string fmt
        = le(tag, 2) + le(channels, 2) + le(rate, 4) + le(uint64_t(rate) * align, 4) + le(align, 2) + le(bits, 2);
    std::string body = "WAVE" + std::string("fmt ") + le(fmt.size(), 4) + fmt + "data" + le(data.size(), 4) + data;
    return "RIFF" + le(body.size(), 4) + body;
}

// 16-bit PCM data from interleaved samples.
inline std::string pcm16(std::vector<int16_t> const& samples)
{
    std::string s;
    for (int16_t v : samples) {
        s += static_cast<char>(v & 0xFF);
        s += static_cast<char>((static_cast<uint16_t>(v) >> 8) & 0xFF);
    }
    return s;
}

} // namespace audio_test
