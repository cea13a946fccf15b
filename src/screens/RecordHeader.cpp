#include "RecordHeader.h"

#include "RowTexts.h"
#include "ScreenTexts.h"

#include <document/RecordInfo.h>
#include <document/RecordStore.h>
#include <document/Settings.h>
#include <skin/FormBinding.h>
#include <skin/PropertiesImpl.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/TextElement.h>

namespace screens {

void RecordHeader::bind(skin::Form& form, skin::PropertiesImpl const& properties)
{
    icons_.load(properties);
    words_ = &properties.dictionary();
    skin::bind_element(icon_, form, u"icon", nullptr);
    skin::bind_element(artist_, form, u"frmArtist", nullptr);
    skin::bind_element(elapsed_, form, u"frmElapsed", nullptr);
    skin::bind_element(left_, form, u"frmLeft", nullptr);
    skin::bind_element(info_, form, u"frmInfo", nullptr);
    skin::bind_element(size_, form, u"frmSize", nullptr);
    // New elements hold no notice; the screen tells it again.
    notice_.clear();
}

void RecordHeader::show_record(document::RecordInfo const& record)
{
    icon_->set_picture(icons_.icon(record.path, record.album));
    // The prefix of a recording made outside a call is a word of the program's, not a name.
    artist_->set_text(record.artist == document::RECORD_ALBUM ? words_->translate(u"Voice_note") : record.artist);
    format_ = record.sample_rate > 0
        ? document::describe_format(record.sample_rate, record.bits_per_sample, record.bit_rate, format_units(*words_))
        : core::String();
    show_info();
}

void RecordHeader::show_notice(core::StringView notice, std::optional<skin::Color> color)
{
    if (notice == notice_ && color == notice_color_)
        return;
    notice_ = core::String(notice);
    notice_color_ = color;
    show_info();
}

void RecordHeader::show_info()
{
    info_->set_text(notice_.empty() ? format_ : notice_);
    if (!notice_.empty() && notice_color_)
        info_->set_highlight(0, notice_.size(), *notice_color_);
}

void RecordHeader::show_times(double elapsed_seconds, double left_seconds)
{
    show_elapsed(elapsed_seconds);
    left_->set_text(time_left_text(left_seconds, *words_));
}

void RecordHeader::show_elapsed(double seconds)
{
    elapsed_->set_text(duration_text(seconds, words_->translate(u"Unit_h")));
}

void RecordHeader::show_elapsed_lit(bool lit)
{
    // Blanked rather than hidden, so that nothing below it moves.
    if (!lit)
        elapsed_->set_text(core::String());
}

void RecordHeader::show_size(uint64_t bytes)
{
    size_->set_text(bytes == 0 ? core::String() : size_words(bytes, *words_));
}

} // namespace screens
