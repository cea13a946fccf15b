#include "SkinTestSupport.h"

#include <random>
#include <skin/SkinFile.h>

using namespace skin;
using namespace skin_testing;

namespace {

std::string const FORMAT_SKIN = read_file(COMPILED_SKINS + "/format.skin");

// Every lookup of every kind on every record, as a program walking the tree would do.
size_t walk(SkinFile const& file, ElementRecord record)
{
    size_t visited = 1;
    for (int k = 0; k < PROPERTY_KINDS; ++k) {
        auto const kind = static_cast<PropertyKind>(k);
        for (uint32_t i = 0; i < file.property_count(record, kind); ++i) {
            core::String const key = file.property_key(record, kind, i);
            bool const found = file.find_int(record, key) || file.find_font(record, key) || file.find_point(record, key)
                || file.find_string(record, key) || file.find_picture(record, key) || file.find_color(record, key);
            EXPECT_TRUE(found);
        }
    }
    for (uint32_t i = 0; i < file.child_count(record); ++i)
        visited += walk(file, file.child_record(record, i));
    return visited;
}

// A minimal skin built byte by byte, with knobs to break one thing at a time.
struct TinySkin {
    uint32_t font_index = 0;
    uint32_t child_offset = 0; // 0: the real child
    uint32_t root_left = NO_ENTRY;
    uint16_t key_offset = 92;
    uint16_t list_end = 0; // 0: the real end of the lists
    uint32_t string_count = 1;

    std::vector<uint8_t> bytes() const
    {
        Bytes b = skin_header();
        b.text(u"a"); // key at 92
        uint32_t const area = b.text(u"12 0 0 0 Tahoma");
        b.text(u"s");
        uint32_t const name = b.text(u"E");
        b.put32(76, 0);
        b.put32(80, 1);
        b.put32(84, area);
        b.put32(88, string_count);
        uint32_t const entry = b.size();
        b.put32(entry, root_left);
        b.put32(entry + 4, NO_ENTRY);
        b.put32(entry + 8, name);
        uint32_t const record = entry + 12;
        // One child; lists: one integer, one font.
        b.put16(record + 0, 20);
        b.put16(record + 2, 28);
        for (int k = 2; k <= 6; ++k)
            b.put16(record + 2 * k, k == 6 && list_end ? list_end : 36);
        b.put16(record + 14, 1);
        b.put16(record + 20, key_offset);
        b.put32(record + 24, 7);
        b.put16(record + 28, key_offset);
        b.put32(record + 32, font_index);
        uint32_t const child = record + 36;
        b.put32(record + 16, child_offset ? child_offset : child);
        for (int k = 0; k <= 6; ++k)
            b.put16(child + 2 * k, 16);
        b.put16(child + 14, 0);
        b.put32(72, entry);
        return b.data;
    }
};

std::unique_ptr<SkinFile> open(std::vector<uint8_t> bytes, SkinFile::Status& status)
{
    core::String reason;
    auto file = SkinFile::open(std::move(bytes), status, reason);
    EXPECT_EQ(file == nullptr, !reason.empty() || status == SkinFile::Status::NOT_A_SKIN);
    return file;
}

TEST(SkinFile, SoundSkinsReadAndDamagedTruncatedOrCorruptedOnesNeverReadOutside)
{
    SkinFile::Status status;
    auto const file = open(TinySkin {}.bytes(), status);
    ASSERT_TRUE(file);
    auto const record = file->find_entry(u"E");
    EXPECT_EQ(std::tuple(file->find_int(record, u"a"), file->find_font(record, u"a"), file->child_count(record),
                  file->string(0), walk(*file, record)),
        std::tuple(7, 0u, 1u, u"s", 2u));
    std::pair<char const*, TinySkin> const damages[] = {
        { "font_index_beyond_count", { .font_index = 1 } },
        { "child_beyond_file", { .child_offset = 100000 } },
        { "child_is_its_parent", { .child_offset = 148 } },
        { "name_tree_cycle", { .root_left = 136 } },
        { "key_beyond_file", { .key_offset = 60000 } },
        { "lists_past_file", { .list_end = 4000 } },
        { "lists_decreasing", { .list_end = 30 } },
        { "string_count_beyond_area", { .string_count = 100 } },
    };
    for (auto const& [name, skin] : damages) {
        EXPECT_TRUE(!open(skin.bytes(), status) && status == SkinFile::Status::DAMAGED) << name;
    }
    ASSERT_TRUE(open(std::vector<uint8_t>(FORMAT_SKIN.begin(), FORMAT_SKIN.end()), status));
    for (size_t length = 0; length < FORMAT_SKIN.size(); ++length)
        ASSERT_FALSE(open(std::vector<uint8_t>(FORMAT_SKIN.begin(), FORMAT_SKIN.begin() + ptrdiff_t(length)), status))
            << length;
    // Flipped bytes either make the file refused or leave one that reads in bounds (the sanitizer build
    // checks the reads).
    std::mt19937 random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes(FORMAT_SKIN.begin(), FORMAT_SKIN.end());
        for (int flips = 1 + round % 3; flips > 0; --flips)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        auto const file = open(std::move(bytes), status);
        if (!file)
            continue;
        ++accepted;
        for (auto const& [name, record] : file->entries()) {
            EXPECT_TRUE(file->find_entry(name)); // a repeated name finds one of its entries
            walk(*file, record);
        }
    }
    EXPECT_GT(accepted, 0);
}

} // namespace
