#pragma once

#include <memory>
#include <os/File.h>

namespace audio {

// Reads a stream through a buffer of a fixed size, so that many small reads (an ID3 tag's frame headers)
// make few reads of the stream.
//
// Threads: one thread at a time, as the stream below.
class BufferedInStream final : public os::InStream {
public:
    BufferedInStream(os::InStream& source, uint32_t capacity);

    uint32_t read(void* buffer, uint32_t count) override;
    uint32_t skip(uint32_t count) override;
    bool is_open() const override { return source_.is_open(); }
    uint32_t size() const override { return source_.size(); }
    bool seek(uint32_t position) override;
    uint32_t tell() const override { return origin_ + position_; }

private:
    os::InStream& source_;
    uint32_t const capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t origin_ = 0; // the source's position of buffer_[0]
    uint32_t fill_ = 0;
    uint32_t position_ = 0;
};

// Writes a stream through a buffer of a fixed size. What is buffered reaches the stream at flush, at a
// seek and at destruction; only flush tells whether it arrived in full.
//
// Threads: one thread at a time, as the stream below.
class BufferedOutStream final : public os::OutStream {
public:
    BufferedOutStream(os::OutStream& sink, uint32_t capacity);
    ~BufferedOutStream() override;

    uint32_t write(void const* buffer, uint32_t count) override;
    bool is_open() const override { return sink_.is_open(); }
    uint32_t size() const override;
    bool seek(uint32_t position) override;
    uint32_t tell() const override { return sink_.tell() + fill_; }
    // False when a write of the stream below fell short, now or before.
    bool flush();

private:
    os::OutStream& sink_;
    uint32_t const capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
    uint32_t fill_ = 0;
    bool failed_ = false;
};

} // namespace audio
