#include "GsmCodec.h"

#include <gsm.h>

namespace audio {

namespace {

gsm gsm_of(void* state)
{
    return static_cast<gsm>(state);
}

// In the WAV49 packing the first frame of a pair takes 32 bytes and a half, the second the rest.
constexpr int FIRST_FRAME_BYTES = 32;
constexpr int FIRST_FRAME_READ = 33;
constexpr int FRAME_SAMPLES = 160;

} // namespace

GsmCodec::GsmCodec()
{
    gsm const g = gsm_create();
    int one = 1;
    if (g && gsm_option(g, GSM_OPT_WAV49, &one) < 0) {
        gsm_destroy(g);
        return;
    }
    state_ = g;
}

GsmCodec::~GsmCodec()
{
    if (state_)
        gsm_destroy(gsm_of(state_));
}

void GsmCodec::encode(int16_t const* samples, uint8_t* block)
{
    // libgsm takes non-const input that it does not change.
    gsm_encode(gsm_of(state_), const_cast<gsm_signal*>(samples), block);
    gsm_encode(gsm_of(state_), const_cast<gsm_signal*>(samples + FRAME_SAMPLES), block + FIRST_FRAME_BYTES);
}

bool GsmCodec::decode(uint8_t const* block, int16_t* samples)
{
    auto* bytes = const_cast<gsm_byte*>(block);
    return gsm_decode(gsm_of(state_), bytes, samples) >= 0
        && gsm_decode(gsm_of(state_), bytes + FIRST_FRAME_READ, samples + FRAME_SAMPLES) >= 0;
}

} // namespace audio
