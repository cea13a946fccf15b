#pragma once

#include "AudioFormat.h"

#include <core/SharedBuffer.h>

namespace audio {

// The unit in which audio moves: a view on shared bytes tagged with its format. Copies share the bytes.
// The coded block size is for coded data only (an encoder's block align); PCM leaves it 0.
struct AudioBuffer {
    core::SharedBuffer data;
    AudioFormat format;
    int32_t coded_block_size = 0;

    AudioBuffer() = default;
    AudioBuffer(core::SharedBuffer bytes, AudioFormat const& buffer_format)
        : data(std::move(bytes))
        , format(buffer_format)
    {
    }

    size_t length() const { return data.length(); }
    bool empty() const { return data.empty(); }
    // 0 when the buffer is empty or its format has no frame size.
    size_t frames() const;
    // Seconds; 0 when the rate is 0.
    double duration() const;
};

} // namespace audio
