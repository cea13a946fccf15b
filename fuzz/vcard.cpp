// The vCard reader on any bytes, and the number matching on what it found: neither may crash, read
// outside the input or keep a photo above its limit.
#include <cstdlib>
#include <platform/phone/contacts.h>
#include <platform/phone/vcard.h>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    auto const parsed = platform::parse_vcards(std::string_view(reinterpret_cast<char const*>(data), size));
    size_t sum = parsed.problems.size();
    for (auto const& card : parsed.cards) {
        if (card.photo.size() > platform::MAX_CONTACT_PHOTO)
            std::abort();
        sum += card.formatted_name.size() + card.photo.size();
        for (auto const& tel : card.tels)
            sum += platform::phone_numbers_match(tel.number, u"+44 20 7946 0000") ? 1 : 0;
    }
    return static_cast<int>(sum & 0);
}
