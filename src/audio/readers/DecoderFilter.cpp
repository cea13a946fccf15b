#include "DecoderFilter.h"

#include <algorithm>
#include <utility>

namespace audio {

AudioBuffer DecoderFilter::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (frames <= 0)
        return {};
    // Coded data that decodes to nothing (a damaged frame) is passed over; the upstream's end ends this.
    while (pending_.empty()) {
        AudioBuffer const input = pull_upstream(*this, frames);
        if (input.empty()) {
            pending_ = flush();
            if (pending_.empty())
                return {};
            break;
        }
        pending_ = transform(input);
    }
    size_t const frame_size = static_cast<size_t>(std::max(pending_.format.frame_size(), 1));
    size_t const take = std::min<size_t>(size_t(frames), pending_.length() / frame_size) * frame_size;
    if (take == 0 || take >= pending_.length())
        return std::exchange(pending_, AudioBuffer());
    AudioBuffer out(core::SharedBuffer(pending_.data, 0, take), pending_.format);
    pending_.data = core::SharedBuffer(pending_.data, take, pending_.length() - take);
    return out;
}

AudioBuffer DecoderFilter::flush()
{
    return {};
}

} // namespace audio
