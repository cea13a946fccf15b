// The only file that sees libmad.
#include "Mp3Decoder.h"

#include "Mp3Header.h"

#include <algorithm>
#include <mad.h>
#include <platform/riff.h>

namespace audio {

namespace {

constexpr int32_t PLAYABLE_RATES[] = { 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000 };

// libmad's fixed point to 16 bits, rounded and clipped.
int16_t to_16_bits(mad_fixed_t sample)
{
    sample += 1L << (MAD_F_FRACBITS - 16);
    sample = std::clamp<mad_fixed_t>(sample, -MAD_F_ONE, MAD_F_ONE - 1);
    return static_cast<int16_t>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

} // namespace

struct Mp3Decoder::Mad {
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;

    Mad()
    {
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
    }
    ~Mad()
    {
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
};

Mp3Decoder::Mp3Decoder()
    : mad_(std::make_unique<Mad>())
{
}

Mp3Decoder::~Mp3Decoder() = default;

AudioBuffer Mp3Decoder::transform(AudioBuffer const& input)
{
    if (input.empty())
        return {};
    input_.insert(input_.end(), input.data.data(), input.data.data() + input.length());
    // The last whole frame waits, unless the frames cannot be followed (then nothing is held back).
    size_t const size = input_.size();
    size_t at = 0, last = 0;
    Mp3Header header;
    while (at + 4 <= size && Mp3Header::parse(input_.data() + at, header) && at + header.frame_length <= size) {
        last = at;
        at += header.frame_length;
    }
    size_t const held = at == size ? last : size;
    input_.resize(size + MAD_BUFFER_GUARD, 0);
    AudioBuffer out = decode(held);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(held));
    input_.resize(size - held);
    return out;
}

AudioBuffer Mp3Decoder::flush()
{
    size_t const size = input_.size();
    if (size == 0)
        return {};
    input_.resize(size + MAD_BUFFER_GUARD, 0);
    AudioBuffer out = decode(size);
    input_.clear();
    return out;
}

AudioBuffer Mp3Decoder::decode(size_t end_offset)
{
    if (end_offset == 0)
        return {};
    mad_stream_buffer(&mad_->stream, input_.data(), input_.size());
    // Frames are looked for before `end` only: in the guard bytes libmad would lose the sync, and with it
    // the bit reservoir the next buffer's first frames need.
    unsigned char const* const end = input_.data() + end_offset;

    std::vector<uint8_t> out;
    AudioFormat format;
    while (mad_->stream.next_frame < end) {
        if (mad_frame_decode(&mad_->frame, &mad_->stream) != 0) {
            if (MAD_RECOVERABLE(mad_->stream.error))
                continue;
            break;
        }
        int32_t const rate = static_cast<int32_t>(mad_->frame.header.samplerate);
        int const channels = MAD_NCHANNELS(&mad_->frame.header);
        mad_synth_frame(&mad_->synth, &mad_->frame);
        if (std::find(std::begin(PLAYABLE_RATES), std::end(PLAYABLE_RATES), rate) == std::end(PLAYABLE_RATES))
            continue;
        AudioFormat const frame_format { channels, 16, rate };
        if (format.is_none())
            format = frame_format;
        else if (frame_format != format)
            continue; // one buffer has one format; the reader gives frames of one stream
        mad_pcm const& pcm = mad_->synth.pcm;
        size_t const at = out.size();
        out.resize(at + size_t(pcm.length) * size_t(channels) * 2);
        uint8_t* p = out.data() + at;
        for (unsigned i = 0; i < pcm.length; ++i) {
            for (int c = 0; c < channels; ++c, p += 2)
                platform::riff::put_s16(p, to_16_bits(pcm.samples[c][i]));
        }
    }
    if (out.empty())
        return {};
    return AudioBuffer(core::SharedBuffer(out.size(), out.data()), format);
}

} // namespace audio
