#include "PropertiesImpl.h"

#include "SkinListener.h"

#include <core/Log.h>
#include <core/Stopwatch.h>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/Paths.h>

namespace skin {

PropertiesImpl::PropertiesImpl() = default;

PropertiesImpl::PropertiesImpl(core::StringView path, DisplayInfo const& display)
{
    if (!load(path, display)) {
        file_.reset();
        pictures_.clear();
        holders_.clear();
        fonts_.clear();
        strings_.clear();
    }
}

PropertiesImpl::~PropertiesImpl() = default;

namespace {

void log_record_sizes()
{
    struct Size {
        char16_t const* text;
        int value;
    };
    static constexpr Size sizes[] = {
        { u"sizeof(Node*4)=", 8 },
        { u"sizeof(IntegerNode*4)=", 32 },
        { u"sizeof(PointNode*4)=", 32 },
        { u"sizeof(Node)=", 2 },
        { u"sizeof(IntegerNode)=", 8 },
        { u"IntegerNode::Size=", 8 },
        { u"sizeof(PointNode)=", 8 },
        { u"PointNode::Size=", 8 },
        { u"sizeof(ColorNode)=", 8 },
        { u"ColorNode::Size=", 8 },
        { u"sizeof(StringNode)=", 4 },
        { u"StringNode::Size=", 4 },
        { u"sizeof(PictureNode)=", 20 },
        { u"PictureNode::Size=", 20 },
    };
    for (auto const& size : sizes)
        core::log() << size.text << size.value << u"\n";
}

} // namespace

bool PropertiesImpl::load(core::StringView path, DisplayInfo const& display)
{
    log_record_sizes();
    std::vector<uint8_t> bytes;
    {
        os::File in(path, os::FileMode::Read);
        bytes.resize(in.size());
        if (!in.is_open() || in.read(bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size()) {
            core::log() << u"Error: skin [" << path << u"] failed to load\n";
            return false;
        }
    }
    SkinFile::Status status;
    core::String reason;
    auto file = SkinFile::open(std::move(bytes), status, reason);
    if (status == SkinFile::Status::DAMAGED)
        core::log() << u"Error: skin [" << path << u"] is damaged: " << reason << u"\n";
    if (!file)
        return false;
    scale_shift_ = display.dpi_y >= 192 ? 1 : 0;
    core::Stopwatch stopwatch;
    if (!load_pictures(path, *file, stopwatch))
        return false;
    for (uint32_t i = 0; i < file->font_count(); ++i) {
        FontDesc desc;
        desc.scale = 1 << scale_shift_;
        desc.parse(file->font_description(i));
        fonts_.push_back(std::make_shared<FontRep const>(desc, display.dpi_y));
    }
    for (uint32_t i = 0; i < file->string_count(); ++i)
        strings_.push_back(file->string(i));
    core::log() << u"PropertiesImpl::PropertiesImpl fonts create time=" << stopwatch.lap() << u"\n";
    file_ = std::move(file);
    return true;
}

// The double-size drawing of a picture when one lies beside it and is exactly twice its size; a wrong
// one is only logged, and the picture is then doubled as usual.
PictureHandle PropertiesImpl::load_double(core::StringView name, PictureHolder const& picture)
{
    core::String const double_name = core::String(name) + u"@2x";
    if (!os::FileInfo(double_name + u".bmp").exists())
        return nullptr;
    PictureHandle twice = load_565(double_name);
    if (twice && twice->size().x == 2 * picture.size().x && twice->size().y == 2 * picture.size().y)
        return twice;
    core::log() << u"PropertiesImpl::PropertiesImpl picture {" << double_name << u"} is not twice {" << name
                << u"}, doubled instead\n";
    return nullptr;
}

bool PropertiesImpl::load_pictures(core::StringView path, SkinFile const& file, core::Stopwatch& stopwatch)
{
    // Pictures lie beside the skin file (the folder part keeps its separator; none means no folder).
    core::String const folder = os::directory_part(path);
    for (uint32_t i = 0; i < file.picture_count(); ++i) {
        core::String const& name = file.picture_name(i);
        PictureHandle picture = load_565(folder + name);
        if (!picture) {
            core::log() << u"PropertiesImpl::PropertiesImpl picture failed to load {" << name << u"}\n";
            return false;
        }
        holders_.push_back(picture.get());
        pictures_2x_.push_back(scale_shift_ == 1 ? load_double(folder + name, *picture) : nullptr);
        pictures_.push_back(std::move(picture));
        core::log() << u"PropertiesImpl::PropertiesImpl picture load time=" << stopwatch.lap() << u" {" << name
                    << u"}\n";
    }
    return true;
}

void PropertiesImpl::swap_skin(PropertiesImpl& other)
{
    std::swap(file_, other.file_);
    std::swap(pictures_, other.pictures_);
    std::swap(holders_, other.holders_);
    std::swap(pictures_2x_, other.pictures_2x_);
    std::swap(fonts_, other.fonts_);
    std::swap(strings_, other.strings_);
    std::swap(scale_shift_, other.scale_shift_);
}

ElementRecord PropertiesImpl::find_entry(core::StringView name) const
{
    return file_ ? file_->find_entry(name) : ElementRecord {};
}

uint32_t PropertiesImpl::child_count(ElementRecord record) const
{
    return file_ ? file_->child_count(record) : 0;
}

ElementRecord PropertiesImpl::child_record(ElementRecord record, uint32_t i) const
{
    return file_ ? file_->child_record(record, i) : ElementRecord {};
}

uint32_t PropertiesImpl::element_count(ElementRecord record) const
{
    return file_ ? file_->element_count(record) : 0;
}

FontHandle const& PropertiesImpl::default_font() const
{
    if (!default_font_)
        default_font_ = std::make_shared<FontRep const>(FontDesc::application_default());
    return default_font_;
}

int32_t PropertiesImpl::lookup_int(ElementRecord record, core::StringView key, int32_t fallback) const
{
    auto const value = file_ ? file_->find_int(record, key) : std::nullopt;
    return value ? *value : fallback;
}

FontHandle PropertiesImpl::lookup_font(ElementRecord record, core::StringView key, FontHandle const& fallback) const
{
    auto const index = file_ ? file_->find_font(record, key) : std::nullopt;
    return index ? fonts_[*index] : fallback;
}

Point PropertiesImpl::lookup_point(ElementRecord record, core::StringView key, Point fallback) const
{
    auto const point = file_ ? file_->find_point(record, key) : std::nullopt;
    if (!point)
        return fallback;
    return { int32_t(point->x) * (1 << scale_shift_), int32_t(point->y) * (1 << scale_shift_) };
}

core::String PropertiesImpl::lookup_string(ElementRecord record, core::StringView key, core::StringView fallback) const
{
    auto const index = file_ ? file_->find_string(record, key) : std::nullopt;
    return index ? strings_[*index] : core::String(fallback);
}

PictureRef PropertiesImpl::lookup_picture(ElementRecord record, core::StringView key, PictureRef const& fallback) const
{
    auto const raw = file_ ? file_->find_picture(record, key) : std::nullopt;
    if (!raw)
        return fallback;
    PictureRef ref;
    for (int i = 0; i < 4; ++i)
        ref.corners[i]
            = { int32_t(raw->corners[2 * i]) << scale_shift_, int32_t(raw->corners[2 * i + 1]) << scale_shift_ };
    // The corners stay in doubled coordinates; a double-size drawing is addressed by them directly.
    PictureHandle const& twice = pictures_2x_[raw->index];
    ref.picture = twice ? twice : pictures_[raw->index];
    ref.scale_shift = twice ? 0 : scale_shift_;
    ref.flag = raw->flag;
    return ref;
}

Color PropertiesImpl::lookup_color(ElementRecord record, core::StringView key, Color fallback) const
{
    auto const raw = file_ ? file_->find_color(record, key) : std::nullopt;
    return raw ? Color { raw->red, raw->green, raw->blue, 255 } : fallback;
}

void PropertiesImpl::send_reload_skin()
{
    core::Stopwatch stopwatch;
    // The next listener is found after each call, so one that leaves the set meanwhile is skipped safely.
    for (auto it = listeners_.begin(); it != listeners_.end();) {
        SkinListener* listener = *it;
        listener->on_reload_skin(*this);
        it = listeners_.upper_bound(listener);
    }
    core::log() << u"PropertiesImpl::send_reload_skin the rest time=" << stopwatch.elapsed() << u"\n";
}

} // namespace skin
