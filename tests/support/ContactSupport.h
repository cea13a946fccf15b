#pragma once

// What the contact stores' tests share: pictures as address books hold them, and a window that records
// the changes a store tells.
#include <TestSupport.h>
#include <platform/phone/contacts.h>

#include <utility>

namespace testing_support {

// `size` bytes that start as a JPEG does; `seed` tells pictures apart.
inline std::vector<uint8_t> picture(size_t size, uint8_t seed = 3)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + seed);
    bytes[0] = 0xFF, bytes[1] = 0xD8, bytes[2] = 0xFF;
    return bytes;
}

inline std::string base64(std::vector<uint8_t> const& bytes)
{
    static char const digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t const n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0)
            | (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (size_t k = 0; k < 4; ++k) // padded where the group has fewer than k bytes
            out += i + k <= bytes.size() ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// A window for a contact store to watch; the changes it was told, each its kind and contact id.
class PimWatch {
public:
    using Change = std::pair<uint32_t, intptr_t>;

    PimWatch() { changes().clear(); }
    platform::Hwnd window() const { return window_.handle; }
    // The next change told within `bound` ms; {0, 0} when none comes.
    Change next(uint32_t bound = 10000)
    {
        platform::set_timer(window_.handle, 1, bound);
        platform::Message message;
        size_t const had = changes().size();
        while (changes().size() == had && platform::get_message(message, 0, 0, 0) != 0
            && message.message != platform::WM_TIMER)
            platform::dispatch_message(message);
        platform::kill_timer(window_.handle, 1);
        return changes().size() == had ? Change {} : changes()[had];
    }

private:
    static std::vector<Change>& changes()
    {
        static std::vector<Change> told;
        return told;
    }
    static intptr_t record(platform::Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
    {
        if (message >= platform::PIM_ITEM_CREATED_LOCAL && message <= platform::PIM_ITEM_CHANGED_LOCAL)
            changes().emplace_back(message, lparam);
        return platform::def_window_proc(window, message, wparam, lparam);
    }
    TestWindow window_ { u"PimWatch", record };
};

} // namespace testing_support
