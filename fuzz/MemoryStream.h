#pragma once

#include <algorithm>
#include <cstring>
#include <os/File.h>

// The fuzzer's bytes as a stream, so that the readers see exactly what a file would give them.
class MemoryStream final : public os::InStream {
public:
    MemoryStream(uint8_t const* data, size_t size)
        : data_(data)
        , size_(static_cast<uint32_t>(std::min<size_t>(size, 0xFFFFFFFFu)))
    {
    }
    uint32_t read(void* buffer, uint32_t count) override
    {
        uint32_t const n = std::min(count, size_ - position_);
        // An empty chunk asks for nothing, often into no buffer at all (an empty vector's data()).
        if (n == 0)
            return 0;
        std::memcpy(buffer, data_ + position_, n);
        position_ += n;
        return n;
    }
    uint32_t skip(uint32_t count) override
    {
        uint32_t const n = std::min(count, size_ - position_);
        position_ += n;
        return n;
    }
    bool is_open() const override { return true; }
    uint32_t size() const override { return size_; }
    bool seek(uint32_t position) override
    {
        position_ = std::min(position, size_);
        return true;
    }
    uint32_t tell() const override { return position_; }

private:
    uint8_t const* data_;
    uint32_t size_;
    uint32_t position_ = 0;
};
