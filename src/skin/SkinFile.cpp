#include "SkinFile.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <platform/riff.h>
#include <unordered_map>
#include <unordered_set>

namespace skin {

// The file is little-endian and read with plain copies.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr uint16_t MAGIC[4] = { 0x0421, 0x043A, 0x0438, 0x043D };
constexpr uint32_t ROOT_OFFSET = 72;
constexpr uint32_t PICTURE_COUNT_OFFSET = 76;
constexpr uint32_t FONT_COUNT_OFFSET = 80;
constexpr uint32_t STRING_AREA_OFFSET = 84;
constexpr uint32_t STRING_COUNT_OFFSET = 88;
constexpr uint32_t ENTRY_HEADER = 12;
constexpr uint32_t RECORD_HEADER = 16;

std::atomic<uint32_t> next_serial { 1 };

core::String describe(char const* what, uint64_t offset)
{
    return core::from_utf8(what) + u" at offset " + core::decimal(static_cast<int64_t>(offset));
}

} // namespace

SkinFile::SkinFile(std::vector<uint8_t> bytes)
    : bytes_(std::move(bytes))
    , serial_(next_serial++)
{
}

uint16_t SkinFile::u16(uint32_t offset) const
{
    uint16_t v;
    std::memcpy(&v, bytes_.data() + offset, sizeof v);
    return v;
}

uint32_t SkinFile::u32(uint32_t offset) const
{
    uint32_t v;
    std::memcpy(&v, bytes_.data() + offset, sizeof v);
    return v;
}

// Checks the whole structure once, so that lookups can trust it.
class SkinFile::Validator {
public:
    explicit Validator(SkinFile& file)
        : file_(file)
        , size_(file.bytes_.size())
    {
    }

    bool run(core::String& reason)
    {
        bool const ok = check_strings() && check_tree();
        if (!ok)
            reason = reason_;
        return ok;
    }

private:
    bool fail(char const* what, uint64_t offset)
    {
        reason_ = describe(what, offset);
        return false;
    }

    bool fits(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }

    // A zero-terminated UTF-16 string lies wholly in the file; its length in code units.
    bool terminated(uint32_t offset, size_t& length)
    {
        for (uint64_t at = offset; at + 2 <= size_; at += 2)
            if (file_.u16(static_cast<uint32_t>(at)) == 0) {
                length = static_cast<size_t>((at - offset) / 2);
                return true;
            }
        return false;
    }

    bool check_strings()
    {
        auto& f = file_;
        f.root_ = f.u32(ROOT_OFFSET);
        f.picture_count_ = f.u32(PICTURE_COUNT_OFFSET);
        f.font_count_ = f.u32(FONT_COUNT_OFFSET);
        f.string_count_ = f.u32(STRING_COUNT_OFFSET);
        uint32_t at = f.u32(STRING_AREA_OFFSET);
        uint64_t const total = uint64_t(f.picture_count_) + f.font_count_ + f.string_count_;
        // Every string takes at least its terminator.
        if (total > size_ / 2)
            return fail("the string counts exceed the file; string area", at);
        f.area_.reserve(static_cast<size_t>(total));
        for (uint64_t i = 0; i < total; ++i) {
            size_t length = 0;
            if (!terminated(at, length))
                return fail("an unterminated string in the string area", at);
            core::String text(length, u'\0');
            std::memcpy(text.data(), f.bytes_.data() + at, length * 2);
            f.area_.push_back(std::move(text));
            at += static_cast<uint32_t>(length * 2 + 2);
        }
        return true;
    }

    // The name tree: every entry inside the file, visited once, names ordered as a search tree needs.
    bool check_tree()
    {
        struct Visit {
            uint32_t entry;
            uint32_t above; // name offset that every name here must be below (0: none)
            uint32_t floor; // name offset that every name here must be at or above (0: none)
        };
        std::vector<Visit> pending;
        if (file_.root_ != NO_ENTRY)
            pending.push_back({ file_.root_, 0, 0 });
        std::unordered_set<uint32_t> seen;
        while (!pending.empty()) {
            Visit const v = pending.back();
            pending.pop_back();
            if (!fits(v.entry, ENTRY_HEADER + RECORD_HEADER))
                return fail("a name tree entry outside the file", v.entry);
            if (!seen.insert(v.entry).second)
                return fail("a name tree entry reached twice", v.entry);
            uint32_t const name = file_.u32(v.entry + 8);
            size_t length = 0;
            if (name == 0 || !terminated(name, length))
                return fail("an entry name outside the file; entry", v.entry);
            core::String const text = file_.string_at(name);
            if ((v.above && file_.compare_at(text, v.above) >= 0) || (v.floor && file_.compare_at(text, v.floor) < 0))
                return fail("a name out of order in the name tree; entry", v.entry);
            if (!check_record(v.entry + ENTRY_HEADER, 1))
                return false;
            uint32_t const left = file_.u32(v.entry);
            uint32_t const right = file_.u32(v.entry + 4);
            if (left != NO_ENTRY)
                pending.push_back({ left, name, v.floor });
            if (right != NO_ENTRY)
                pending.push_back({ right, v.above, name });
        }
        return true;
    }

    // A record, its property lists and (recursively, to a bounded depth) its children. Records already
    // checked are remembered with the height of their subtree, so shared records cost nothing twice.
    bool check_record(uint32_t record, int depth)
    {
        if (depth > MAX_ELEMENT_DEPTH)
            return fail("elements nested too deeply (or in a cycle); record", record);
        if (auto done = heights_.find(record); done != heights_.end()) {
            if (depth + done->second > MAX_ELEMENT_DEPTH)
                return fail("elements nested too deeply; record", record);
            return true;
        }
        if (record == 0 || !fits(record, RECORD_HEADER))
            return fail("an element record outside the file", record);
        uint16_t o[PROPERTY_KINDS + 1];
        for (int k = 0; k <= PROPERTY_KINDS; ++k)
            o[k] = file_.u16(record + 2 * k);
        uint32_t const children = file_.u16(record + 14);
        if (o[0] < RECORD_HEADER)
            return fail("property lists overlapping their record's header; record", record);
        if (!fits(record, uint64_t(RECORD_HEADER) + 4 * uint64_t(children)))
            return fail("a child table outside the file; record", record);
        // All bounds first: the lists are read only once every one of them is known to lie in the file.
        for (int k = 0; k < PROPERTY_KINDS; ++k) {
            if (o[k + 1] < o[k])
                return fail("property lists out of order; record", record);
            if ((o[k + 1] - o[k]) % RECORD_SIZES[k] != 0)
                return fail("a property list of partial records; record", record);
        }
        if (!fits(record, o[PROPERTY_KINDS]))
            return fail("property lists outside the file; record", record);
        for (int k = 0; k < PROPERTY_KINDS; ++k)
            if (!check_list(static_cast<PropertyKind>(k), record + o[k], (o[k + 1] - o[k]) / RECORD_SIZES[k]))
                return false;
        int height = 0;
        uint64_t elements = 1;
        for (uint32_t i = 0; i < children; ++i) {
            uint32_t const child = file_.u32(record + RECORD_HEADER + 4 * i);
            if (!check_record(child, depth + 1))
                return false;
            height = std::max(height, heights_[child] + 1);
            elements = std::min<uint64_t>(elements + file_.element_counts_[child], UINT32_MAX);
        }
        heights_[record] = height;
        file_.element_counts_[record] = static_cast<uint32_t>(elements);
        return true;
    }

    bool check_list(PropertyKind kind, uint32_t start, uint32_t count)
    {
        uint32_t const size = RECORD_SIZES[static_cast<int>(kind)];
        uint32_t previous = 0;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t const at = start + i * size;
            uint32_t const key = file_.u16(at);
            if (!checked_keys_.contains(key)) {
                size_t length = 0;
                if (key == 0 || !terminated(key, length))
                    return fail("a property key outside the file; property", at);
                checked_keys_.insert(key);
            }
            if (i > 0 && file_.compare_at(file_.string_at(previous), key) >= 0)
                return fail("property keys out of order or repeated; property", at);
            previous = key;
            if (!check_index(kind, at))
                return false;
        }
        return true;
    }

    bool check_index(PropertyKind kind, uint32_t at)
    {
        auto const& f = file_;
        switch (kind) {
        case PropertyKind::FONT:
            if (f.u32(at + 4) >= f.font_count_)
                return fail("a font index beyond the font count; property", at);
            break;
        case PropertyKind::STRING:
            if (f.u16(at + 2) >= f.string_count_)
                return fail("a string index beyond the string count; property", at);
            break;
        case PropertyKind::PICTURE:
            if (f.bytes_[at + 18] >= f.picture_count_)
                return fail("a picture index beyond the picture count; property", at);
            break;
        default:
            break;
        }
        return true;
    }

    SkinFile& file_;
    size_t const size_;
    core::String reason_;
    std::unordered_map<uint32_t, int> heights_;
    std::unordered_set<uint32_t> checked_keys_;
};

std::unique_ptr<SkinFile> SkinFile::open(std::vector<uint8_t> bytes, Status& status, core::String& reason)
{
    reason.clear();
    status = Status::NOT_A_SKIN;
    if (bytes.size() < SKIN_HEADER_SIZE || bytes.size() > 0xFFFFFFFFu)
        return nullptr;
    for (int i = 0; i < 4; ++i)
        if (platform::riff::u16(bytes.data() + 2 * i) != MAGIC[i])
            return nullptr;
    std::unique_ptr<SkinFile> file(new SkinFile(std::move(bytes)));
    if (!Validator(*file).run(reason)) {
        status = Status::DAMAGED;
        return nullptr;
    }
    status = Status::OK;
    return file;
}

int SkinFile::compare(core::StringView a, core::StringView b)
{
    size_t const n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int SkinFile::compare_at(core::StringView key, uint32_t offset) const
{
    for (size_t i = 0;; ++i, offset += 2) {
        uint16_t const stored = u16(offset);
        if (i == key.size())
            return stored == 0 ? 0 : -1;
        if (stored == 0)
            return 1;
        if (key[i] != stored)
            return key[i] < stored ? -1 : 1;
    }
}

core::String SkinFile::string_at(uint32_t offset) const
{
    core::String text;
    for (uint16_t c; (c = u16(offset)) != 0; offset += 2)
        text += static_cast<char16_t>(c);
    return text;
}

ElementRecord SkinFile::find_entry(core::StringView name) const
{
    uint32_t entry = root_;
    // Validation bounds the walk: every entry is visited at most once on any path.
    while (entry != NO_ENTRY) {
        int const order = compare_at(name, u32(entry + 8));
        if (order == 0)
            return { entry + ENTRY_HEADER, serial_ };
        entry = order < 0 ? u32(entry) : u32(entry + 4);
    }
    return {};
}

std::vector<std::pair<core::String, ElementRecord>> SkinFile::entries() const
{
    std::vector<std::pair<core::String, ElementRecord>> result;
    std::vector<uint32_t> stack;
    uint32_t entry = root_;
    while (entry != NO_ENTRY || !stack.empty()) {
        while (entry != NO_ENTRY) {
            stack.push_back(entry);
            entry = u32(entry);
        }
        entry = stack.back();
        stack.pop_back();
        result.emplace_back(string_at(u32(entry + 8)), ElementRecord { entry + ENTRY_HEADER, serial_ });
        entry = u32(entry + 4);
    }
    return result;
}

uint32_t SkinFile::child_count(ElementRecord record) const
{
    return owns(record) ? u16(record.offset + 14) : 0;
}

ElementRecord SkinFile::child_record(ElementRecord record, uint32_t i) const
{
    if (i >= child_count(record))
        return {};
    return { u32(record.offset + RECORD_HEADER + 4 * i), serial_ };
}

uint32_t SkinFile::element_count(ElementRecord record) const
{
    if (!owns(record))
        return 0;
    auto const found = element_counts_.find(record.offset);
    return found == element_counts_.end() ? 1 : found->second;
}

uint32_t SkinFile::list(ElementRecord record, PropertyKind kind, uint32_t& count) const
{
    count = 0;
    if (!owns(record))
        return 0;
    int const k = static_cast<int>(kind);
    uint16_t const begin = u16(record.offset + 2 * k);
    uint16_t const end = u16(record.offset + 2 * k + 2);
    count = (end - begin) / RECORD_SIZES[k];
    return record.offset + begin;
}

uint32_t SkinFile::find(ElementRecord record, PropertyKind kind, core::StringView key) const
{
    uint32_t count = 0;
    uint32_t const start = list(record, kind, count);
    uint32_t const size = RECORD_SIZES[static_cast<int>(kind)];
    uint32_t lo = 0, hi = count;
    while (lo < hi) {
        uint32_t const mid = (lo + hi) / 2;
        uint32_t const at = start + mid * size;
        int const order = compare_at(key, u16(at));
        if (order == 0)
            return at;
        if (order < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return 0;
}

std::optional<int32_t> SkinFile::find_int(ElementRecord record, core::StringView key) const
{
    if (uint32_t at = find(record, PropertyKind::INTEGER, key))
        return static_cast<int32_t>(u32(at + 4));
    return std::nullopt;
}

std::optional<uint32_t> SkinFile::find_font(ElementRecord record, core::StringView key) const
{
    if (uint32_t at = find(record, PropertyKind::FONT, key))
        return u32(at + 4);
    return std::nullopt;
}

std::optional<RawPoint> SkinFile::find_point(ElementRecord record, core::StringView key) const
{
    if (uint32_t at = find(record, PropertyKind::POINT, key))
        return RawPoint { static_cast<int16_t>(u16(at + 4)), static_cast<int16_t>(u16(at + 6)) };
    return std::nullopt;
}

std::optional<uint16_t> SkinFile::find_string(ElementRecord record, core::StringView key) const
{
    if (uint32_t at = find(record, PropertyKind::STRING, key))
        return u16(at + 2);
    return std::nullopt;
}

std::optional<RawPicture> SkinFile::find_picture(ElementRecord record, core::StringView key) const
{
    uint32_t const at = find(record, PropertyKind::PICTURE, key);
    if (!at)
        return std::nullopt;
    RawPicture picture;
    for (int i = 0; i < 8; ++i)
        picture.corners[i] = u16(at + 2 + 2 * i);
    picture.index = bytes_[at + 18];
    picture.flag = bytes_[at + 19];
    return picture;
}

std::optional<RawColor> SkinFile::find_color(ElementRecord record, core::StringView key) const
{
    if (uint32_t at = find(record, PropertyKind::COLOR, key))
        return RawColor { bytes_[at + 4], bytes_[at + 5], bytes_[at + 6] };
    return std::nullopt;
}

uint32_t SkinFile::property_count(ElementRecord record, PropertyKind kind) const
{
    uint32_t count = 0;
    list(record, kind, count);
    return count;
}

core::String SkinFile::property_key(ElementRecord record, PropertyKind kind, uint32_t i) const
{
    uint32_t count = 0;
    uint32_t const start = list(record, kind, count);
    if (i >= count)
        return {};
    return string_at(u16(start + i * RECORD_SIZES[static_cast<int>(kind)]));
}

} // namespace skin
