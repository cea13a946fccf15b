#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// vCard 2.1, 3.0 and 4.0 as address books export them: folded lines, grouped names, parameters in the
// old bare and the new TYPE= form, quoted parameter values, escaped text, inline base64 and data-URI
// photos. Only the properties a phone's caller identification needs are kept.
//
// Threads: any; no state.
namespace platform {

// Bytes above which a photo is not kept (the card is); a card's unfolded text above which the card is
// refused; a file above which nothing of it is read.
inline constexpr size_t MAX_CONTACT_PHOTO = 200'000;
inline constexpr size_t MAX_VCARD_TEXT = 1'000'000;
inline constexpr size_t MAX_VCARD_FILE = 8'000'000;

struct VCardTel {
    std::u16string number;
    std::vector<std::string> types; // lower-case: "cell", "work", "home", "voice", "fax", ...
};

struct VCard {
    std::u16string formatted_name; // FN
    std::u16string family_name, given_name, middle_name, suffix; // N
    std::u16string nickname, organization, department, title, url;
    std::vector<VCardTel> tels;
    std::vector<std::u16string> emails;
    std::vector<uint8_t> photo; // empty when there is none or it is above MAX_CONTACT_PHOTO
    bool photo_over_limit = false;
};

struct VCardProblem {
    size_t offset = 0; // of the line where the refused card's trouble was found
    std::string reason;
};

struct VCardParse {
    std::vector<VCard> cards;
    std::vector<VCardProblem> problems; // one per refused card or stray line
};

// Every well-formed card of the bytes, in order. A card with a line that is no property, without its end,
// nested in another, above MAX_VCARD_TEXT or with broken base64 is refused as a whole and named in the
// problems; the cards around it are kept.
VCardParse parse_vcards(std::string_view bytes);

// Standard base64 (padding optional, white space ignored); false on any other character or a broken end.
bool decode_base64(std::string_view text, std::vector<uint8_t>& out);

} // namespace platform
