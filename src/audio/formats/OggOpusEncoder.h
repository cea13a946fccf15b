#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace audio {

// libopusenc as the recorder sets it up: speech at a target bit rate (variable around it), coded as it
// comes, and Ogg pages handed out at least once a second, so that a recording cut off loses little.
//
// Threads: one thread at a time.
class OggOpusEncoder {
public:
    // Takes whole Ogg pages; false when they could not be kept.
    using PageSink = std::function<bool(uint8_t const* bytes, size_t size)>;

    static constexpr int32_t RATE = 48000;
    // The most audio that waits in the encoder before its page is handed out.
    static constexpr int32_t PAGE_DELAY = RATE;

    OggOpusEncoder() = default;
    ~OggOpusEncoder();
    OggOpusEncoder(OggOpusEncoder const&) = delete;
    OggOpusEncoder& operator=(OggOpusEncoder const&) = delete;

    // Hands out the header pages (with `comments`, "NAME=value") at once. `rate` is the input's.
    bool open(
        int32_t channels, int32_t rate, int32_t bit_rate, std::vector<std::string> const& comments, PageSink sink);
    bool is_open() const { return encoder_ != nullptr; }
    bool encode(int16_t const* samples, int32_t frames);
    // Codes what waits, ends the stream (its last page says so) and closes.
    bool finish();
    // Closes without ending the stream.
    void close();

private:
    void* encoder_ = nullptr;
    PageSink sink_;
};

} // namespace audio
