#include <ContactSupport.h>
#include <map>
#include <platform/phone/vcard.h>
#include <platform/text.h>

using namespace platform;
using namespace testing_support;

namespace {

// Folded at 75 characters as address books write it.
std::string fold(std::string const& line)
{
    std::string out = line.substr(0, 75);
    for (size_t at = 75; at < line.size(); at += 74)
        out += "\r\n " + line.substr(at, 74);
    return out + "\r\n";
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

    PimWatch watch;
    ASSERT_TRUE(store->watch(watch.window()));
    // Ann's file loses its second card and changes the first; a new file brings one card.
    write_file(folder + "/ann.vcf", "BEGIN:VCARD\nFN:Ann Lee\nTEL:+44 20 7946 0000\nEND:VCARD\n");
    write_file(folder + "/cy.vcf", "BEGIN:VCARD\nFN:Cy\nTEL:555 0111\nEND:VCARD\n");
    std::map<uint32_t, uint32_t> told; // the contact of each kind of change
    for (auto change = watch.next(); change.first != 0; change = told.size() < 3 ? watch.next() : PimWatch::Change {})
        told[change.first] = static_cast<uint32_t>(change.second);
    store->watch(0);
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(
        std::tuple(store->read(told[PIM_ITEM_CHANGED_LOCAL])->card.formatted_name,
            store->read(told[PIM_ITEM_CREATED_LOCAL])->card.formatted_name, !store->read(told[PIM_ITEM_DELETED_LOCAL])),
        std::tuple(u"Ann Lee", u"Cy", true));
}

} // namespace
