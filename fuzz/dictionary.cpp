// The dictionary parser on any bytes, narrow or wide.
#include <lang/Dictionary.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    auto const map = lang::Dictionary::parse(data, size);
    for (auto const& [key, value] : map)
        if (key.empty() || key.find_first_of(u" \t\r\n=") != core::String::npos
            || value.find_first_of(u"\r\n") != core::String::npos)
            __builtin_trap();
    return 0;
}
