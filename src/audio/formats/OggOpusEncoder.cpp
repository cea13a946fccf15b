// The only file that sees libopusenc.
#include "OggOpusEncoder.h"

#include <opus/opusenc.h>

namespace audio {

namespace {

OggOpusEnc* encoder_of(void* encoder)
{
    return static_cast<OggOpusEnc*>(encoder);
}

int write_page(void* data, unsigned char const* bytes, opus_int32 size)
{
    auto const& sink = *static_cast<OggOpusEncoder::PageSink*>(data);
    return sink(bytes, static_cast<size_t>(size)) ? 0 : 1;
}

int close_stream(void*)
{
    return 0;
}

} // namespace

OggOpusEncoder::~OggOpusEncoder()
{
    close();
}

bool OggOpusEncoder::open(
    int32_t channels, int32_t rate, int32_t bit_rate, std::vector<std::string> const& comments, PageSink sink)
{
    close();
    sink_ = std::move(sink);
    OggOpusComments* tags = ope_comments_create();
    if (!tags)
        return false;
    bool ok = true;
    for (auto const& comment : comments)
        ok = ok && ope_comments_add_string(tags, comment.c_str()) == OPE_OK;
    OpusEncCallbacks const callbacks { &write_page, &close_stream };
    int error = OPE_OK;
    OggOpusEnc* encoder
        = ok ? ope_encoder_create_callbacks(&callbacks, &sink_, tags, rate, channels, 0, &error) : nullptr;
    ope_comments_destroy(tags);
    if (!encoder)
        return false;
    encoder_ = encoder;
    // Speech: the codec tuned for voice, and frames coded as soon as they are whole rather than held back
    // for a decision about music. The codec's VoIP application is not used: its filtering for calls loses
    // 4 to 7 dB of the speech's waveform at these rates.
    ok = ope_encoder_ctl(encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE)) == OPE_OK
        && ope_encoder_ctl(encoder, OPUS_SET_BITRATE(bit_rate)) == OPE_OK
        && ope_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(10)) == OPE_OK
        && ope_encoder_ctl(encoder, OPE_SET_DECISION_DELAY(0)) == OPE_OK
        && ope_encoder_ctl(encoder, OPE_SET_MUXING_DELAY(PAGE_DELAY)) == OPE_OK
        && ope_encoder_flush_header(encoder) == OPE_OK;
    if (!ok)
        close();
    return ok;
}

bool OggOpusEncoder::encode(int16_t const* samples, int32_t frames)
{
    return encoder_ && ope_encoder_write(encoder_of(encoder_), samples, frames) == OPE_OK;
}

bool OggOpusEncoder::finish()
{
    bool const ok = encoder_ && ope_encoder_drain(encoder_of(encoder_)) == OPE_OK;
    close();
    return ok;
}

void OggOpusEncoder::close()
{
    if (encoder_)
        ope_encoder_destroy(encoder_of(encoder_));
    encoder_ = nullptr;
}

} // namespace audio
