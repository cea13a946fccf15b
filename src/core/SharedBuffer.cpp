#include "SharedBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace core {

SharedBuffer::Block* SharedBuffer::allocate(size_t capacity)
{
    void* memory = ::operator new(sizeof(Block) + capacity);
    auto* block = static_cast<Block*>(memory);
    new (&block->count) std::atomic<int32_t>(1);
    block->capacity = capacity;
    return block;
}

void SharedBuffer::release()
{
    if (block_ && block_->count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        block_->count.~atomic();
        ::operator delete(block_);
    }
    block_ = nullptr;
}

SharedBuffer::SharedBuffer(size_t size)
    : block_(allocate(size))
    , length_(size)
{
}

SharedBuffer::SharedBuffer(size_t size, void const* bytes)
    : SharedBuffer(size)
{
    if (size > 0)
        std::memcpy(block_->bytes(), bytes, size);
}

SharedBuffer::SharedBuffer(SharedBuffer const& other, size_t offset, size_t length)
    : block_(other.block_)
{
    offset = std::min(offset, other.length_);
    offset_ = other.offset_ + offset;
    length_ = std::min(length, other.length_ - offset);
    if (block_)
        block_->count.fetch_add(1, std::memory_order_relaxed);
}

SharedBuffer::SharedBuffer(SharedBuffer const& other)
    : block_(other.block_)
    , offset_(other.offset_)
    , length_(other.length_)
{
    if (block_)
        block_->count.fetch_add(1, std::memory_order_relaxed);
}

SharedBuffer::SharedBuffer(SharedBuffer&& other) noexcept
    : block_(other.block_)
    , offset_(other.offset_)
    , length_(other.length_)
{
    other.block_ = nullptr;
    other.offset_ = other.length_ = 0;
}

SharedBuffer& SharedBuffer::operator=(SharedBuffer const& other)
{
    if (this != &other) {
        if (other.block_)
            other.block_->count.fetch_add(1, std::memory_order_relaxed);
        release();
        block_ = other.block_;
        offset_ = other.offset_;
        length_ = other.length_;
    }
    return *this;
}

SharedBuffer& SharedBuffer::operator=(SharedBuffer&& other) noexcept
{
    if (this != &other) {
        release();
        block_ = other.block_;
        offset_ = other.offset_;
        length_ = other.length_;
        other.block_ = nullptr;
        other.offset_ = other.length_ = 0;
    }
    return *this;
}

SharedBuffer::~SharedBuffer()
{
    release();
}

uint8_t const* SharedBuffer::data() const
{
    return block_ ? block_->bytes() + offset_ : nullptr;
}

uint8_t* SharedBuffer::writable()
{
    if (!block_)
        return nullptr;
    if (block_->count.load(std::memory_order_acquire) != 1) {
        Block* own = allocate(length_);
        if (length_ > 0)
            std::memcpy(own->bytes(), block_->bytes() + offset_, length_);
        release();
        block_ = own;
        offset_ = 0;
    }
    return block_->bytes() + offset_;
}

void SharedBuffer::fill(uint8_t byte)
{
    if (length_ > 0)
        std::memset(writable(), byte, length_);
}

size_t SharedBuffer::copy_from(size_t position, SharedBuffer const& other)
{
    if (position >= length_)
        return 0;
    size_t const count = std::min(other.length_, length_ - position);
    if (count > 0) {
        // Keep the source alive and readable even when it shares this block.
        SharedBuffer const source(other);
        std::memmove(writable() + position, source.data(), count);
    }
    return count;
}

int32_t SharedBuffer::use_count() const
{
    return block_ ? block_->count.load(std::memory_order_acquire) : 0;
}

} // namespace core
