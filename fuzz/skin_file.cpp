// The skin loader's check of a file, then every lookup of every kind on every record it accepted: no
// input may crash or read outside the block.
#include <skin/FontDesc.h>
#include <skin/SkinFile.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace skin;

uint64_t sink = 0;

void visit(SkinFile const& file, ElementRecord record)
{
    static constexpr core::StringView probes[] = { u"", u"a", u"type", u"zzzz" };
    for (int k = 0; k < PROPERTY_KINDS; ++k) {
        auto const kind = static_cast<PropertyKind>(k);
        uint32_t const count = file.property_count(record, kind);
        for (uint32_t i = 0; i <= count; ++i) {
            core::String const key = file.property_key(record, kind, i);
            sink += file.find_int(record, key).value_or(0);
            sink += file.find_font(record, key).value_or(0);
            sink += file.find_point(record, key).value_or(RawPoint {}).x;
            if (auto s = file.find_string(record, key))
                sink += file.string(*s).size();
            if (auto p = file.find_picture(record, key))
                sink += file.picture_name(p->index).size() + p->corners[7];
            sink += file.find_color(record, key).value_or(RawColor {}).blue;
            if (auto f = file.find_font(record, key))
                sink += file.font_description(*f).size();
        }
        for (auto probe : probes)
            sink += file.find_int(record, probe).has_value();
    }
    uint32_t const children = file.child_count(record);
    for (uint32_t i = 0; i < children; ++i)
        visit(file, file.child_record(record, i));
    sink += static_cast<bool>(file.child_record(record, children));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    SkinFile::Status status;
    core::String reason;
    auto const file = SkinFile::open(std::vector<uint8_t>(data, data + size), status, reason);
    if (!file)
        return 0;
    for (uint32_t i = 0; i < file->font_count(); ++i) {
        FontDesc desc;
        desc.parse(file->font_description(i));
        sink += static_cast<uint32_t>(desc.size);
    }
    for (auto const& [name, record] : file->entries()) {
        // A name may stand twice in the tree (equal names go right); the search finds one of them.
        if (!file->find_entry(name))
            __builtin_trap();
        visit(*file, record);
    }
    sink += static_cast<bool>(file->find_entry(u"FormMain"));
    return 0;
}
