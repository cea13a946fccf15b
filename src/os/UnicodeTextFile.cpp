#include "UnicodeTextFile.h"

#include <platform/text.h>
#include <vector>

namespace os {

UnicodeTextFile::UnicodeTextFile(core::StringView path, FileMode mode)
    : TextSink(false)
    , file_(path, mode)
{
    if (file_.is_open() && file_.size() == 0) {
        uint8_t const mark[2] = { 0xFF, 0xFE };
        file_.write(mark, 2);
    }
}

void UnicodeTextFile::write(char16_t const* text, size_t count)
{
    if (count == 0)
        return;
    std::vector<uint8_t> bytes;
    platform::append_utf16le(bytes, { text, count });
    file_.write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void UnicodeTextFile::flush()
{
    file_.flush();
}

LockedUnicodeTextFile::LockedUnicodeTextFile(core::StringView path, FileMode mode)
    : UnicodeTextFile(path, mode)
{
}

void LockedUnicodeTextFile::write(char16_t const* text, size_t count)
{
    core::Lock lock(lock_);
    UnicodeTextFile::write(text, count);
}

void LockedUnicodeTextFile::flush()
{
    core::Lock lock(lock_);
    UnicodeTextFile::flush();
}

} // namespace os
