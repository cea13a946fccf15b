#include <TestSupport.h>
#include <filesystem>
#include <platform/messages.h>
#include <platform/phone/contacts.h>
#include <platform/phone/vcard.h>
#include <platform/text.h>

using namespace platform;
using testing_support::fresh_dir;
using testing_support::write_file;

namespace {

std::string base64(std::vector<uint8_t> const& bytes)
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

// Folded at 75 characters as address books write it.
std::string fold(std::string const& line)
{
    std::string out = line.substr(0, 75);
    for (size_t at = 75; at < line.size(); at += 74)
        out += "\r\n " + line.substr(at, 74);
    return out + "\r\n";
}

std::vector<uint8_t> picture(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    bytes[0] = 0xFF, bytes[1] = 0xD8; // a JPEG's start
    return bytes;
}

std::string const GOOD = "BEGIN:VCARD\nVERSION:3.0\nFN:Good Card\nTEL:555 0199\nEND:VCARD\n";

TEST(VCard, RealWorldShapesOfVersions3And4)
{
    auto const photo = picture(3000);
    std::string const v3 = "BEGIN:VCARD\r\nVERSION:3.0\r\n" + fold("FN:Lee\\, Ann " + std::string(80, 'x'))
        + "N:Lee;Ann;Marie;Dr.;Jr.\r\nitem1.TEL;TYPE=\"CELL,VOICE\":+44 (20) 7946-0000\r\nTEL;TYPE=WORK:020 7946 "
          "0001\r\n"
        + "TEL;HOME:020 7946 0002\r\nORG:Korvex;Sales\r\nEMAIL;TYPE=INTERNET:ann@example.org\r\n"
        + fold("PHOTO;ENCODING=b;TYPE=JPEG:" + base64(photo)) + "END:VCARD\r\n";
    std::string const v4 = "BEGIN:VCARD\nVERSION:4.0\nFN:Bo\nTEL;VALUE=uri;TYPE=cell:tel:+1-555-0100;ext=5\n"
                           "PHOTO:data:image/jpeg;base64,"
        + base64(photo) + "\nEND:VCARD\n";
    auto const parsed = parse_vcards("\xEF\xBB\xBF" + v3 + v4);
    EXPECT_TRUE(parsed.problems.empty());
    ASSERT_EQ(parsed.cards.size(), 2u);
    auto const& ann = parsed.cards[0];
    EXPECT_EQ(ann.formatted_name, u"Lee, Ann " + std::u16string(80, u'x'));
    EXPECT_EQ(std::tuple(ann.given_name, ann.suffix, ann.department), std::tuple(u"Ann", u"Jr.", u"Sales"));
    using Types = std::vector<std::string>;
    ASSERT_EQ(ann.tels.size(), 3u);
    EXPECT_EQ(std::tuple(ann.tels[0].number, ann.tels[0].types, ann.tels[2].types),
        std::tuple(u"+44 (20) 7946-0000", Types { "cell", "voice" }, Types { "home" }));
    EXPECT_EQ(parsed.cards[1].tels.at(0).number, u"+1-555-0100");
    EXPECT_TRUE(ann.photo == photo && parsed.cards[1].photo == photo);
}

TEST(VCard, APhotoAboveTheLimitIsLeftOutAndTheCardKept)
{
    for (size_t size : { MAX_CONTACT_PHOTO, MAX_CONTACT_PHOTO + 1 }) {
        auto const parsed
            = parse_vcards("BEGIN:VCARD\nFN:Big\nPHOTO;ENCODING=BASE64:" + base64(picture(size)) + "\nEND:VCARD\n");
        ASSERT_EQ(parsed.cards.size(), 1u) << size;
        EXPECT_EQ(std::pair(parsed.cards[0].photo.size(), parsed.cards[0].photo_over_limit),
            std::pair(size > MAX_CONTACT_PHOTO ? 0u : size, size > MAX_CONTACT_PHOTO));
    }
}

struct Malformed {
    char const* name;
    std::string text;
};

class VCardMalformed : public ::testing::TestWithParam<Malformed> { };

// The broken card gives no contact; the good card after it is kept.
TEST_P(VCardMalformed, GivesNoContactAndKeepsTheOthers)
{
    auto const parsed = parse_vcards(GetParam().text + GOOD);
    ASSERT_EQ(parsed.cards.size(), 1u);
    EXPECT_EQ(parsed.cards[0].formatted_name, u"Good Card");
    EXPECT_FALSE(parsed.problems.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, VCardMalformed,
    ::testing::Values(Malformed { "NoColon", "BEGIN:VCARD\nFN Ann\nEND:VCARD\n" },
        Malformed { "EmptyName", "BEGIN:VCARD\n:Ann\nEND:VCARD\n" },
        Malformed { "BadBase64Character", "BEGIN:VCARD\nFN:A\nPHOTO;ENCODING=b:AAA*AAAA\nEND:VCARD\n" },
        Malformed { "BadBase64End", "BEGIN:VCARD\nFN:A\nPHOTO;ENCODING=b:AAAAA\nEND:VCARD\n" },
        Malformed { "DataAfterPadding", "BEGIN:VCARD\nFN:A\nPHOTO:data:image/png;base64,AA==AAAA\nEND:VCARD\n" },
        Malformed { "DataUriWithoutComma", "BEGIN:VCARD\nFN:A\nPHOTO:data:image/png;base64\nEND:VCARD\n" },
        Malformed { "Huge",
            "BEGIN:VCARD\n" + std::string(2000, 'X') + ":" + std::string(MAX_VCARD_TEXT, 'y') + "\nEND:VCARD\n" },
        Malformed { "Nested", "BEGIN:VCARD\nFN:Outer\nBEGIN:VCARD\nFN:Inner\nEND:VCARD\nEND:VCARD\n" },
        Malformed { "StrayText", "garbage\n" }),
    [](auto const& info) { return info.param.name; });

TEST(VCard, ACardWithoutItsEndAndAnOversizedFileGiveNothing)
{
    auto const cut = parse_vcards(GOOD + "BEGIN:VCARD\nFN:Cut");
    EXPECT_TRUE(cut.cards.size() == 1 && !cut.problems.empty());
    auto const huge = parse_vcards(GOOD + std::string(MAX_VCARD_FILE, '\n'));
    EXPECT_EQ(std::pair(huge.cards.size(), huge.problems.size()), std::pair(size_t(0), size_t(1)));
}

TEST(PhoneNumbers, MatchByDigitsOrWithACountryPrefix)
{
    std::tuple<char16_t const*, char16_t const*, bool> const cases[]
        = { { u"+44 (20) 7946-0000", u"+442079460000", true }, { u"+44 20 7946 0000", u"020 7946 0000", true },
              { u"0044 20 7946 0000", u"020.7946.0000", true }, { u"2079460000", u"+44 2079460000", true },
              { u"+44 20 7946 0000", u"+45 20 7946 0000", false }, { u"020 7946 0000", u"020 7946 0001", false },
              { u"+1234 5678", u"5678", false }, { u"+44 20 7946 0000", u"", false }, { u"", u"", false },
              { u"+4420 7946 0000", u"7946 0000", false } };
    for (auto const& [a, b, match] : cases) {
        EXPECT_EQ(phone_numbers_match(a, b), match) << platform::to_utf8(a) << " / " << platform::to_utf8(b);
        EXPECT_EQ(phone_numbers_match(b, a), match);
    }
}

std::vector<Message> pim_messages;

intptr_t record_pim(Hwnd window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    if (message >= PIM_ITEM_CREATED_LOCAL && message <= PIM_ITEM_CHANGED_LOCAL)
        pim_messages.push_back({ window, message, wparam, lparam, 0 });
    return def_window_proc(window, message, wparam, lparam);
}

TEST(VCardFolder, FindsContactsByNumberAndTellsTheirChanges)
{
    std::string const folder = fresh_dir("contacts");
    write_file(folder + "/ann.vcf", "BEGIN:VCARD\nFN:Ann\nTEL:+44 20 7946 0000\nEND:VCARD\n" + GOOD);
    write_file(folder + "/notes.txt", "BEGIN:VCARD\nFN:Not a contact file\nTEL:555 0100\nEND:VCARD\n");
    auto store = open_contact_store(from_utf8(folder));
    ASSERT_TRUE(store);
    auto const ann = store->find_by_phone(u"020 7946 0000");
    ASSERT_TRUE(ann);
    EXPECT_EQ(ann->card.formatted_name, u"Ann");
    EXPECT_EQ(store->read(ann->oid)->card.formatted_name, u"Ann");
    EXPECT_FALSE(
        store->find_by_phone(u"555 0100") || store->read(ann->oid + 100) || open_contact_store(u"/etc/passwd"));

    ASSERT_TRUE(register_class({ u"VCardWatch", 0, record_pim }));
    Hwnd const window = create_window(u"VCardWatch", u"", 0);
    ASSERT_TRUE(store->watch(window));
    // Ann's file loses its second card and changes the first; a new file brings one card.
    write_file(folder + "/ann.vcf", "BEGIN:VCARD\nFN:Ann Lee\nTEL:+44 20 7946 0000\nEND:VCARD\n");
    write_file(folder + "/cy.vcf", "BEGIN:VCARD\nFN:Cy\nTEL:555 0111\nEND:VCARD\n");
    set_timer(window, 1, 10000); // the bound of the wait
    Message message;
    auto const all_seen = [&] {
        auto const seen = [&](uint32_t code) {
            return std::any_of(
                pim_messages.begin(), pim_messages.end(), [&](auto const& m) { return m.message == code; });
        };
        return seen(PIM_ITEM_CREATED_LOCAL) && seen(PIM_ITEM_DELETED_LOCAL) && seen(PIM_ITEM_CHANGED_LOCAL);
    };
    while (!all_seen() && get_message(message, 0, 0, 0) && message.message != WM_TIMER)
        dispatch_message(message);
    store->watch(0);
    ASSERT_TRUE(all_seen());
    for (auto const& m : pim_messages) {
        auto const record = store->read(static_cast<uint32_t>(m.lparam));
        if (m.message != PIM_ITEM_DELETED_LOCAL) {
            EXPECT_EQ(record->card.formatted_name, m.message == PIM_ITEM_CHANGED_LOCAL ? u"Ann Lee" : u"Cy");
        }
    }
    destroy_window(window);
    unregister_class(u"VCardWatch");
}

} // namespace
