#include "RecordIcons.h"

#include "ScreenTexts.h"

#include <os/Paths.h>
#include <skin/PropertiesImpl.h>

namespace screens {

namespace {

constexpr std::array<core::StringView, 6> NAMES
    = { u"main_memory", u"main_memory_incoming", u"main_memory_outgoing", u"card", u"card_incoming", u"card_outgoing" };

} // namespace

RecordIcons::RecordIcons()
    // The documents folder is read once: it does not move while the program runs.
    : documents_(os::expand_path(u"%my_documents%"))
{
}

void RecordIcons::load(skin::PropertiesImpl const& properties)
{
    for (size_t i = 0; i < NAMES.size(); ++i)
        pictures_[i] = properties.lookup_picture(properties.find_entry(NAMES[i]), u"src", skin::PictureRef {});
}

skin::PictureRef const& RecordIcons::icon(core::StringView path, core::StringView album) const
{
    core::StringView const name = row_icon_name(path, album, documents_);
    for (size_t i = 0; i < NAMES.size(); ++i)
        if (NAMES[i] == name)
            return pictures_[i];
    return pictures_[0];
}

} // namespace screens
