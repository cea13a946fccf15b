#pragma once

#include "File.h"

#include <core/CriticalSection.h>
#include <core/Log.h>

namespace os {

// UTF-16LE text in a file that starts with the byte-order mark FF FE; code units are stored as they
// are, with no line-end translation.
class UnicodeTextFile : public core::TextSink {
public:
    UnicodeTextFile(core::StringView path, FileMode mode);
    void write(char16_t const* text, size_t count) override;
    void flush() override;
    bool is_open() const { return file_.is_open(); }

private:
    File file_;
};

// The log's file: always created anew; each write and flush holds its own lock, so pieces from
// different threads never mix within one piece. Threads: any.
class LockedUnicodeTextFile final : public UnicodeTextFile {
public:
    explicit LockedUnicodeTextFile(core::StringView path, FileMode mode = FileMode::Write);
    void write(char16_t const* text, size_t count) override;
    void flush() override;

private:
    core::CriticalSection lock_;
};

} // namespace os
