#include "BufferedStreams.h"

#include <algorithm>
#include <cstring>

namespace audio {

BufferedInStream::BufferedInStream(os::InStream& source, uint32_t capacity)
    : source_(source)
    , capacity_(std::max<uint32_t>(capacity, 1))
    , buffer_(std::make_unique<uint8_t[]>(capacity_))
    , origin_(source.tell())
{
}

uint32_t BufferedInStream::read(void* buffer, uint32_t count)
{
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        if (position_ == fill_) {
            origin_ += fill_;
            position_ = fill_ = 0;
            // A large read goes straight to the stream.
            if (count - done >= capacity_) {
                uint32_t const n = source_.read(out + done, count - done);
                origin_ += n;
                return done + n;
            }
            fill_ = source_.read(buffer_.get(), capacity_);
            if (fill_ == 0)
                break;
        }
        uint32_t const n = std::min(count - done, fill_ - position_);
        std::memcpy(out + done, buffer_.get() + position_, n);
        position_ += n;
        done += n;
    }
    return done;
}

uint32_t BufferedInStream::skip(uint32_t count)
{
    uint32_t const from = tell();
    uint64_t const to = std::min<uint64_t>(uint64_t(from) + count, size());
    return seek(static_cast<uint32_t>(to)) ? static_cast<uint32_t>(to - from) : 0;
}

bool BufferedInStream::seek(uint32_t position)
{
    if (position >= origin_ && position <= origin_ + fill_) {
        position_ = position - origin_;
        return true;
    }
    if (!source_.seek(position))
        return false;
    origin_ = position;
    position_ = fill_ = 0;
    return true;
}

BufferedOutStream::BufferedOutStream(os::OutStream& sink, uint32_t capacity)
    : sink_(sink)
    , capacity_(std::max<uint32_t>(capacity, 1))
    , buffer_(std::make_unique<uint8_t[]>(capacity_))
{
}

BufferedOutStream::~BufferedOutStream()
{
    flush();
}

uint32_t BufferedOutStream::write(void const* buffer, uint32_t count)
{
    if (failed_)
        return 0;
    auto const* in = static_cast<uint8_t const*>(buffer);
    if (fill_ + count > capacity_ && !flush())
        return 0;
    if (count >= capacity_) {
        uint32_t const n = sink_.write(in, count);
        failed_ = n != count;
        return n;
    }
    std::memcpy(buffer_.get() + fill_, in, count);
    fill_ += count;
    return count;
}

bool BufferedOutStream::flush()
{
    if (fill_ > 0 && !failed_)
        failed_ = sink_.write(buffer_.get(), fill_) != fill_;
    fill_ = 0;
    return !failed_;
}

uint32_t BufferedOutStream::size() const
{
    return std::max(sink_.size(), tell());
}

bool BufferedOutStream::seek(uint32_t position)
{
    return flush() && sink_.seek(position);
}

} // namespace audio
