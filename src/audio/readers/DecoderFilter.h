#pragma once

#include <audio/AudioFilter.h>

namespace audio {

// Base of the decoder filters (ADPCM, GSM, MP3): transform decodes one buffer of coded data into 16-bit
// PCM. Pulled, it re-blocks: it keeps what it decoded and hands out at most the frames asked for, pulling
// and decoding again only when nothing is left.
//
// Threads: as AudioFilter: get_data on the pulling thread, on_data on the pushing one, under the lock.
class DecoderFilter : public AudioFilter {
public:
    AudioBuffer get_data(int32_t frames) override;

protected:
    // What a decoder still holds once the upstream has nothing more; called when a pull finds the end.
    virtual AudioBuffer flush();

private:
    AudioBuffer pending_;
};

} // namespace audio
