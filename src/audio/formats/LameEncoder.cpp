#include "LameEncoder.h"

#include <lame/lame.h>

namespace audio {

namespace {

lame_t lame_of(void* state)
{
    return static_cast<lame_t>(state);
}

} // namespace

LameEncoder::~LameEncoder()
{
    close();
}

bool LameEncoder::open(int32_t samples_per_second, int32_t channels, int32_t kilobits_per_second)
{
    close();
    lame_t const l = lame_init();
    if (!l)
        return false;
    if (lame_set_in_samplerate(l, samples_per_second) < 0 || lame_set_num_channels(l, channels) < 0
        || lame_set_brate(l, kilobits_per_second) < 0 || lame_init_params(l) < 0) {
        lame_close(l);
        return false;
    }
    state_ = l;
    return true;
}

void LameEncoder::close()
{
    if (state_)
        lame_close(lame_of(state_));
    state_ = nullptr;
}

int32_t LameEncoder::frame_size() const
{
    return state_ ? lame_get_framesize(lame_of(state_)) : 0;
}

int32_t LameEncoder::encode(int16_t const* left, int16_t const* right, int32_t samples, uint8_t* out, int32_t capacity)
{
    return lame_encode_buffer(lame_of(state_), left, right, samples, out, capacity);
}

int32_t LameEncoder::flush(uint8_t* out, int32_t capacity)
{
    return lame_encode_flush(lame_of(state_), out, capacity);
}

int32_t LameEncoder::summary_frame(uint8_t* out, int32_t capacity)
{
    size_t const n = lame_get_lametag_frame(lame_of(state_), out, static_cast<size_t>(capacity));
    return n <= static_cast<size_t>(capacity) ? static_cast<int32_t>(n) : 0;
}

} // namespace audio
