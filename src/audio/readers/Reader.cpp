#include "Reader.h"

#include <algorithm>

namespace audio {

Reader::Reader(std::unique_ptr<os::InStream> in)
    : in_(std::move(in))
{
}

bool Reader::is_valid()
{
    core::Lock guard(lock_);
    return valid_;
}

int32_t Reader::bits_per_sample()
{
    return 16;
}

bool Reader::render(int32_t frames)
{
    int64_t remaining = frames;
    while (remaining > 0) {
        AudioBuffer const piece = get_data(static_cast<int32_t>(std::min<int64_t>(remaining, RENDER_PIECE)));
        if (piece.empty())
            return false;
        int64_t count = 0;
        {
            core::Lock guard(lock_);
            count = frames_in(piece);
        }
        feed_consumer(*this, piece);
        remaining -= std::max<int64_t>(count, 1);
    }
    return true;
}

int64_t Reader::frames_in(AudioBuffer const& buffer)
{
    return static_cast<int64_t>(buffer.frames());
}

bool Reader::is_good()
{
    core::Lock guard(lock_);
    return good_;
}

uint64_t Reader::bytes_read()
{
    core::Lock guard(lock_);
    return bytes_read_;
}

} // namespace audio
