#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace core {

// A view (offset, length) on a reference-counted byte block. Copies share the block; writing through
// writable() first gives the view a block of its own when the block is shared.
//
// Threads: views of one block may be copied and dropped on any thread (the count is atomic); the bytes
// are not locked, so a view is written only after writable() has made its block unshared.
class SharedBuffer {
public:
    SharedBuffer() = default;
    explicit SharedBuffer(size_t size);
    SharedBuffer(size_t size, void const* bytes);
    // `length` bytes starting `offset` bytes into `other`'s view, sharing its block (clamped to the view).
    SharedBuffer(SharedBuffer const& other, size_t offset, size_t length);

    SharedBuffer(SharedBuffer const& other);
    SharedBuffer(SharedBuffer&& other) noexcept;
    SharedBuffer& operator=(SharedBuffer const& other);
    SharedBuffer& operator=(SharedBuffer&& other) noexcept;
    ~SharedBuffer();

    uint8_t const* data() const;
    size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }
    size_t offset() const { return offset_; }

    uint8_t* writable();
    void fill(uint8_t byte);
    // Copies min(other's length, length - position) bytes of `other` to `position`; answers the count.
    size_t copy_from(size_t position, SharedBuffer const& other);

    // Number of views sharing the block (0 for an empty view without one).
    int32_t use_count() const;

private:
    struct Block {
        std::atomic<int32_t> count;
        size_t capacity;
        uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this + 1); }
    };
    static Block* allocate(size_t capacity);
    void release();

    Block* block_ = nullptr;
    size_t offset_ = 0;
    size_t length_ = 0;
};

} // namespace core
