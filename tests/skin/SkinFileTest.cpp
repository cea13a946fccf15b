#include "SkinTestSupport.h"

#include <gtest/gtest.h>
#include <random>
#include <skin/SkinFile.h>

using namespace skin;
using namespace testing_support;

namespace {

std::vector<uint8_t> file_bytes(std::string const& path)
{
    std::string const text = read_file(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Every lookup of every kind on every record, as a program walking the tree would do.
size_t walk(SkinFile const& file, ElementRecord record, int depth = 0)
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
        visited += walk(file, file.child_record(record, i), depth + 1);
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
        std::vector<uint8_t> b(92, 0);
        auto put16 = [&](size_t at, uint32_t v) {
            if (b.size() < at + 2)
                b.resize(at + 2);
            b[at] = static_cast<uint8_t>(v);
            b[at + 1] = static_cast<uint8_t>(v >> 8);
        };
        auto put32 = [&](size_t at, uint32_t v) {
            put16(at, v & 0xFFFF);
            put16(at + 2, v >> 16);
        };
        auto text = [&](core::StringView s) {
            size_t const at = b.size();
            for (char16_t c : s)
                put16(b.size(), c);
            put16(b.size(), 0);
            return static_cast<uint32_t>(at);
        };
        static constexpr uint16_t magic[] = { 0x0421, 0x043A, 0x0438, 0x043D };
        for (int i = 0; i < 4; ++i)
            put16(2 * i, magic[i]);
        text(u"a"); // key at 92
        uint32_t const area = text(u"12 0 0 0 Tahoma");
        text(u"s");
        uint32_t const name = text(u"E");
        put32(76, 0);
        put32(80, 1);
        put32(84, area);
        put32(88, string_count);
        uint32_t const entry = static_cast<uint32_t>(b.size());
        put32(entry, root_left);
        put32(entry + 4, NO_ENTRY);
        put32(entry + 8, name);
        uint32_t const record = entry + 12;
        // One child; lists: one integer, one font.
        put16(record + 0, 20);
        put16(record + 2, 28);
        for (int k = 2; k <= 6; ++k)
            put16(record + 2 * k, k == 6 && list_end ? list_end : 36);
        put16(record + 14, 1);
        put16(record + 20, key_offset);
        put32(record + 24, 7);
        put16(record + 28, key_offset);
        put32(record + 32, font_index);
        uint32_t const child = record + 36;
        put32(record + 16, child_offset ? child_offset : child);
        for (int k = 0; k <= 6; ++k)
            put16(child + 2 * k, 16);
        put16(child + 14, 0);
        put32(72, entry);
        return b;
    }
};

std::unique_ptr<SkinFile> open(std::vector<uint8_t> bytes, SkinFile::Status& status)
{
    core::String reason;
    auto file = SkinFile::open(std::move(bytes), status, reason);
    EXPECT_EQ(file == nullptr, !reason.empty() || status == SkinFile::Status::NOT_A_SKIN);
    return file;
}

TEST(SkinFile, TinySkinIsSound)
{
    SkinFile::Status status;
    auto const file = open(TinySkin {}.bytes(), status);
    ASSERT_TRUE(file);
    auto const record = file->find_entry(u"E");
    EXPECT_EQ(file->find_int(record, u"a"), 7);
    EXPECT_EQ(file->find_font(record, u"a"), 0u);
    EXPECT_EQ(file->child_count(record), 1u);
    EXPECT_EQ(file->string(0), u"s");
    EXPECT_EQ(walk(*file, record), 2u);
}

struct Damage {
    char const* name;
    TinySkin skin;
};

class DamagedSkin : public testing::TestWithParam<Damage> { };

TEST_P(DamagedSkin, IsRefused)
{
    SkinFile::Status status;
    EXPECT_FALSE(open(GetParam().skin.bytes(), status));
    EXPECT_EQ(status, SkinFile::Status::DAMAGED);
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedSkin,
    testing::Values(Damage { "font_index_beyond_count", { .font_index = 1 } },
        Damage { "child_beyond_file", { .child_offset = 100000 } },
        Damage { "child_is_its_parent", { .child_offset = 148 } }, Damage { "name_tree_cycle", { .root_left = 136 } },
        Damage { "key_beyond_file", { .key_offset = 60000 } }, Damage { "lists_past_file", { .list_end = 4000 } },
        Damage { "lists_decreasing", { .list_end = 30 } },
        Damage { "string_count_beyond_area", { .string_count = 100 } }),
    [](auto const& info) { return std::string(info.param.name); });

TEST(SkinFile, NotASkin)
{
    SkinFile::Status status;
    auto bytes = TinySkin {}.bytes();
    EXPECT_FALSE(open(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 91), status));
    EXPECT_EQ(status, SkinFile::Status::NOT_A_SKIN);
    bytes[7] = 0;
    EXPECT_FALSE(open(bytes, status));
    EXPECT_EQ(status, SkinFile::Status::NOT_A_SKIN);
}

TEST(SkinFile, EveryTruncationOfACompiledSkinIsRefused)
{
    auto const whole = file_bytes(skin_testing::compiled_skins() + "/format.skin");
    SkinFile::Status status;
    ASSERT_TRUE(open(whole, status));
    for (size_t length = 0; length < whole.size(); ++length)
        ASSERT_FALSE(open(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)), status))
            << length;
}

// Flipped bytes either make the file refused or leave one that reads in bounds (the sanitizer build
// checks the reads).
TEST(SkinFile, CorruptedBytesNeverReadOutside)
{
    auto const whole = file_bytes(skin_testing::compiled_skins() + "/format.skin");
    std::mt19937 random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bytes = whole;
        for (int flips = 1 + round % 3; flips > 0; --flips)
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        SkinFile::Status status;
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
