#include "Dump.h"

#include <skin/SkinFile.h>
#include <string>

namespace skinc {

namespace {

using skin::ElementRecord;
using skin::PropertyKind;
using skin::SkinFile;

std::string u8(core::StringView text)
{
    return core::to_utf8(text);
}

void dump_element(SkinFile const& file, ElementRecord record, int depth, std::ostream& out)
{
    std::string const indent(static_cast<size_t>(depth) * 2, ' ');
    for (uint32_t k = 0; k < skin::PROPERTY_KINDS; ++k) {
        auto const kind = static_cast<PropertyKind>(k);
        for (uint32_t i = 0; i < file.property_count(record, kind); ++i) {
            core::String const key = file.property_key(record, kind, i);
            out << indent;
            switch (kind) {
            case PropertyKind::INTEGER:
                out << "int " << u8(key) << " = " << *file.find_int(record, key);
                break;
            case PropertyKind::FONT: {
                uint32_t const index = *file.find_font(record, key);
                out << "font " << u8(key) << " = " << index << " {" << u8(file.font_description(index)) << "}";
                break;
            }
            case PropertyKind::POINT: {
                auto const p = *file.find_point(record, key);
                out << "point " << u8(key) << " = " << p.x << " " << p.y;
                break;
            }
            case PropertyKind::STRING: {
                uint16_t const index = *file.find_string(record, key);
                out << "string " << u8(key) << " = " << index << " {" << u8(file.string(index)) << "}";
                break;
            }
            case PropertyKind::PICTURE: {
                auto const p = *file.find_picture(record, key);
                out << "picture " << u8(key) << " = " << int(p.index) << " {" << u8(file.picture_name(p.index))
                    << "} corners";
                for (uint16_t c : p.corners)
                    out << " " << c;
                out << " flag " << int(p.flag);
                break;
            }
            case PropertyKind::COLOR: {
                auto const c = *file.find_color(record, key);
                out << "color " << u8(key) << " = " << int(c.red) << " " << int(c.green) << " " << int(c.blue);
                break;
            }
            }
            out << "\n";
        }
    }
    for (uint32_t i = 0; i < file.child_count(record); ++i) {
        out << indent << "child " << i << "\n";
        dump_element(file, file.child_record(record, i), depth + 1, out);
    }
}

} // namespace

bool dump_skin(std::vector<uint8_t> bytes, std::ostream& out, std::string& error)
{
    SkinFile::Status status;
    core::String reason;
    auto const file = SkinFile::open(std::move(bytes), status, reason);
    if (!file) {
        error = status == SkinFile::Status::NOT_A_SKIN ? "not a skin file (too short or wrong magic)"
                                                       : "damaged skin: " + u8(reason);
        return false;
    }
    out << "skin: " << file->picture_count() << " pictures, " << file->font_count() << " fonts, "
        << file->string_count() << " strings\n";
    for (uint32_t i = 0; i < file->picture_count(); ++i)
        out << "picture " << i << " {" << u8(file->picture_name(i)) << "}\n";
    for (uint32_t i = 0; i < file->font_count(); ++i)
        out << "font " << i << " {" << u8(file->font_description(i)) << "}\n";
    for (uint32_t i = 0; i < file->string_count(); ++i)
        out << "string " << i << " {" << u8(file->string(i)) << "}\n";
    for (auto const& [name, record] : file->entries()) {
        out << "entry " << u8(name) << "\n";
        dump_element(*file, record, 1, out);
    }
    return true;
}

} // namespace skinc
