#pragma once

#include <core/Strings.h>

#include <cstdint>
#include <platform/filesystem.h>

namespace os {

class InStream {
public:
    // Bytes read; 0 at the end or on failure.
    virtual uint32_t read(void* buffer, uint32_t count) = 0;
    // Bytes moved forward.
    virtual uint32_t skip(uint32_t count) = 0;
    virtual bool is_open() const = 0;
    virtual uint32_t size() const = 0;
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() const = 0;
    virtual ~InStream();
};

class OutStream {
public:
    // Bytes written; fewer than asked means the write failed.
    virtual uint32_t write(void const* buffer, uint32_t count) = 0;
    virtual bool is_open() const = 0;
    virtual uint32_t size() const = 0;
    virtual bool seek(uint32_t position) = 0;
    virtual uint32_t tell() const = 0;
    virtual ~OutStream();
};

enum class FileMode {
    Read = 0, // read; open existing only
    Write = 1, // write; always create (an existing file is truncated)
    Append = 2, // write; open or create; every write goes to the end, also after other processes wrote
    ReadWrite = 3, // read and write; open or create
};

// A file of up to 4 GB. Never reopens: open from a successful construction until destruction.
// Threads: used by one thread at a time.
class File final : public InStream, public OutStream {
public:
    File(core::StringView path, FileMode mode);
    ~File() override;
    File(File const&) = delete;
    File& operator=(File const&) = delete;

    uint32_t read(void* buffer, uint32_t count) override;
    uint32_t skip(uint32_t count) override;
    uint32_t write(void const* buffer, uint32_t count) override;
    bool is_open() const override;
    uint32_t size() const override;
    bool seek(uint32_t position) override;
    uint32_t tell() const override;
    // Truncates or extends the file to `length`; the position is left there.
    bool set_size(uint32_t length);
    bool flush();

private:
    platform::FileHandle handle_;
};

} // namespace os
