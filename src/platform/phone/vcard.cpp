#include "vcard.h"

#include <platform/text.h>

#include <optional>

namespace platform {

namespace {

struct LogicalLine {
    std::string text;
    size_t offset = 0;
};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string_view text)
{
    std::string out(text);
    for (auto& c : out)
        c = lower(c);
    return out;
}

bool equals_nocase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool starts_nocase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equals_nocase(text.substr(0, prefix.size()), prefix);
}

// Physical lines joined where a line starts with a space or tab (the folding of RFC 6350); a lone CR at
// a line's end is dropped.
std::vector<LogicalLine> unfold(std::string_view bytes)
{
    std::vector<LogicalLine> lines;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().text.append(line.substr(1));
        else
            lines.push_back({ std::string(line), at });
        at = end + 1;
    }
    return lines;
}

// Splits at `separator` outside double quotes.
std::vector<std::string_view> split_unquoted(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Splits a structured value at unescaped `separator`.
std::vector<std::string> split_escaped(std::string_view text, char separator)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            parts.back() += text[i];
            parts.back() += text[++i];
        } else if (text[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back() += text[i];
        }
    }
    return parts;
}

std::u16string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char const next = text[++i];
        out += next == 'n' || next == 'N' ? '\n' : next;
    }
    return from_utf8(out);
}

std::string unquote(std::string_view text)
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

struct Property {
    std::string name; // lower-case, without its group
    std::vector<std::pair<std::string, std::string>> params; // lower-case name ("" for a bare 2.1 value)
    std::string_view value;

    std::vector<std::string> param_values(std::string_view wanted) const
    {
        std::vector<std::string> values;
        for (auto const& [key, value] : params)
            if (key == wanted)
                for (auto part : split_unquoted(value, ',')) {
                    std::string const unquoted = unquote(part);
                    for (auto inner : split_unquoted(unquoted, ','))
                        values.push_back(lower(inner));
                }
        return values;
    }
};

std::optional<Property> parse_property(std::string const& line)
{
    // The name and its parameters end at the first colon outside quotes.
    bool quoted = false;
    size_t colon = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    Property property;
    auto const head = split_unquoted(std::string_view(line).substr(0, colon), ';');
    std::string_view name = head[0];
    if (auto dot = name.rfind('.'); dot != std::string_view::npos)
        name = name.substr(dot + 1);
    if (name.empty())
        return std::nullopt;
    property.name = lower(name);
    for (size_t i = 1; i < head.size(); ++i) {
        auto const equals = head[i].find('=');
        if (equals == std::string_view::npos)
            property.params.emplace_back("type", std::string(head[i])); // 2.1: TEL;CELL;VOICE
        else
            property.params.emplace_back(lower(head[i].substr(0, equals)), std::string(head[i].substr(equals + 1)));
    }
    property.value = std::string_view(line).substr(colon + 1);
    return property;
}

int base64_value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The bytes base64 text stands for, or none when a character is foreign or the end is broken.
std::optional<size_t> base64_size(std::string_view text)
{
    size_t digits = 0, padding = 0;
    for (char c : text) {
        if (is_space(c))
            continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        if (padding != 0 || base64_value(c) < 0)
            return std::nullopt;
        ++digits;
    }
    if (padding > 2 || digits % 4 == 1 || (padding != 0 && (digits + padding) % 4 != 0))
        return std::nullopt;
    return digits / 4 * 3 + (digits % 4 == 0 ? 0 : digits % 4 - 1);
}

// The photo's bytes into the card; false when its base64 is broken.
bool take_photo(Property const& p, VCard& card)
{
    std::string_view payload;
    bool base64 = false;
    for (auto const& e : p.param_values("encoding"))
        base64 = base64 || e == "b" || e == "base64";
    if (base64) {
        payload = p.value;
    } else if (starts_nocase(p.value, "data:")) {
        auto const comma = p.value.find(',');
        if (comma == std::string_view::npos)
            return false;
        auto const media = lower(p.value.substr(5, comma - 5));
        if (!media.ends_with(";base64"))
            return true; // a data URI of text: no picture
        payload = p.value.substr(comma + 1);
    } else {
        return true; // a link to a picture elsewhere: none here
    }
    auto const size = base64_size(payload);
    if (!size)
        return false;
    card.photo.clear();
    card.photo_over_limit = *size > MAX_CONTACT_PHOTO;
    if (!card.photo_over_limit && !decode_base64(payload, card.photo))
        return false;
    return true;
}

std::u16string tel_number(Property const& p)
{
    std::string_view value = p.value;
    if (starts_nocase(value, "tel:")) {
        value.remove_prefix(4);
        value = value.substr(0, value.find(';')); // ";ext=" and other URI parameters
    }
    return unescape(value);
}

// One property into the card; false when the card must be refused.
bool apply(Property const& p, VCard& card)
{
    auto const field = [&](size_t index) {
        auto const parts = split_escaped(p.value, ';');
        return index < parts.size() ? unescape(parts[index]) : std::u16string();
    };
    if (p.name == "fn") {
        card.formatted_name = unescape(p.value);
    } else if (p.name == "n") {
        card.family_name = field(0);
        card.given_name = field(1);
        card.middle_name = field(2);
        card.suffix = field(4);
    } else if (p.name == "tel") {
        card.tels.push_back({ tel_number(p), p.param_values("type") });
    } else if (p.name == "email") {
        card.emails.push_back(unescape(p.value));
    } else if (p.name == "url") {
        card.url = unescape(p.value);
    } else if (p.name == "nickname") {
        card.nickname = unescape(p.value);
    } else if (p.name == "org") {
        card.organization = field(0);
        card.department = field(1);
    } else if (p.name == "title") {
        card.title = unescape(p.value);
    } else if (p.name == "photo") {
        return take_photo(p, card);
    }
    return true;
}

// A card from its BEGIN line on.
class OpenCard {
public:
    // One line of the card; false once the card has ended, in the result as a card or as its refusal.
    bool take(LogicalLine const& line, VCardParse& result)
    {
        if (equals_nocase(line.text, "END:VCARD")) {
            if (depth_ == 0) {
                end(result);
                return false;
            }
            --depth_;
            return true;
        }
        if (equals_nocase(line.text, "BEGIN:VCARD")) {
            // The outer card, with all it holds, is refused.
            refuse({ line.offset, "card begins inside another card" });
            ++depth_;
        } else if (!refused_ && !line.text.empty()) {
            take_property(line);
        }
        return true;
    }

private:
    void take_property(LogicalLine const& line)
    {
        text_ += line.text.size();
        if (text_ > MAX_VCARD_TEXT) {
            refuse({ line.offset, "card is longer than " + std::to_string(MAX_VCARD_TEXT) + " bytes" });
            return;
        }
        auto const property = parse_property(line.text);
        if (!property)
            refuse({ line.offset, "line is no property" });
        else if (!apply(*property, card_))
            refuse({ line.offset, "broken " + property->name + " value" });
    }

    // The card's first trouble is the one told.
    void refuse(VCardProblem problem)
    {
        if (!refused_)
            refused_ = std::move(problem);
    }

    void end(VCardParse& result)
    {
        if (refused_)
            result.problems.push_back(*refused_);
        else
            result.cards.push_back(std::move(card_));
    }

    VCard card_;
    size_t text_ = 0;
    int depth_ = 0; // cards begun inside this one
    std::optional<VCardProblem> refused_;
};

// Outside a card: a card begins, or anything but blank text is a problem.
std::optional<OpenCard> line_outside_card(LogicalLine const& line, VCardParse& result)
{
    if (equals_nocase(line.text, "BEGIN:VCARD"))
        return OpenCard();
    if (line.text.find_first_not_of(" \t") != std::string::npos)
        result.problems.push_back({ line.offset, "text outside a card" });
    return std::nullopt;
}

} // namespace

bool decode_base64(std::string_view text, std::vector<uint8_t>& out)
{
    auto const size = base64_size(text);
    if (!size)
        return false;
    out.clear();
    out.reserve(*size);
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        int const v = base64_value(c);
        if (v < 0)
            continue; // white space and padding, already checked
        bits = (bits << 6) | static_cast<uint32_t>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<uint8_t>(bits >> count));
        }
    }
    return out.size() == *size;
}

VCardParse parse_vcards(std::string_view bytes)
{
    VCardParse result;
    if (bytes.size() > MAX_VCARD_FILE) {
        result.problems.push_back({ 0, "file of " + std::to_string(bytes.size()) + " bytes is too large" });
        return result;
    }
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::optional<OpenCard> card;
    for (auto const& line : unfold(bytes)) {
        if (!card)
            card = line_outside_card(line, result);
        else if (!card->take(line, result))
            card.reset();
    }
    if (card)
        result.problems.push_back({ bytes.size(), "card without its end" });
    return result;
}

} // namespace platform
