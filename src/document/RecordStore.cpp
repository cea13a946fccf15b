#include "RecordStore.h"

#include "DurationCache.h"

#include <algorithm>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
#include <audio/formats/StreamComments.h>
#include <audio/readers/DurationProbe.h>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>

namespace document {

using core::String;
using core::StringView;

namespace {

constexpr uint32_t TAG_READ_BUFFER = 4096;

String documents_folder()
{
    return os::expand_path(u"%my_documents%");
}

class CardCollector final : public os::DirectoryVisitor {
public:
    std::vector<String> cards;
    bool on_file(String const&) override { return true; }
    bool on_directory(String const& path) override
    {
        cards.push_back(path);
        return true;
    }
};

bool is_high_surrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

// Cuts `text` to at most `length` code units without splitting a surrogate pair.
void cut(String& text, size_t length)
{
    if (text.size() <= length)
        return;
    if (length > 0 && is_high_surrogate(text[length - 1]))
        --length;
    text.resize(length);
}

// Line breaks and other control characters (C0, DEL, C1, the Unicode line and paragraph separators):
// a name made from a caller's card or a tag must print as one line that names the file.
bool is_control(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

size_t utf8_length(StringView text)
{
    return core::to_utf8(text).size();
}

} // namespace

std::vector<StoreFolder> get_store_folders()
{
    String const documents = documents_folder();
    std::vector<StoreFolder> folders { { MAIN_MEMORY_LABEL, os::join(documents, STORE_FOLDER_NAME) } };
    CardCollector collector;
    os::find_drives(collector);
    String const relative = os::file_name(os::strip_trailing_separator(documents));
    for (auto const& card : collector.cards)
        folders.push_back({ os::file_name(os::strip_trailing_separator(card)),
            os::join(os::join(card, relative), STORE_FOLDER_NAME) });
    return folders;
}

String make_file_name(StringView base, StringView folder, StringView extension)
{
    String clean(base);
    for (auto& c : clean)
        if (StringView(u"<>:\"/\\|?*").find(c) != StringView::npos || is_control(c))
            c = u' ';
    String const tail = u"." + String(extension);
    size_t const fixed = os::join(folder, tail).size();
    for (uint32_t n = 0;; ++n) {
        String const suffix = n == 0 ? String() : u"~" + core::decimal(n);
        // Only as much of the base is dropped as the path (and a Linux file name) needs.
        String name = clean;
        size_t const used = fixed + suffix.size();
        cut(name, used < MAX_PATH_LENGTH ? MAX_PATH_LENGTH - used : 0);
        while (!name.empty() && utf8_length(name + suffix + tail) > MAX_NAME_BYTES)
            cut(name, name.size() - 1);
        String const path = os::join(folder, name + suffix + tail);
        if (!os::FileInfo(path).exists())
            return path;
    }
}

String size_text(uint64_t n)
{
    if (n == 0)
        return {};
    if (n < 1024)
        return core::decimal(static_cast<int64_t>(n)) + u"B";
    if (n < 1048576)
        return core::decimal(static_cast<int64_t>(n / 1024)) + u"K";
    uint64_t const whole = n / 1048576;
    uint64_t const tenth = n * 10 / 1048576 - whole * 10;
    return core::decimal(static_cast<int64_t>(whole)) + u"." + core::decimal(static_cast<int64_t>(tenth)) + u"M";
}

TagTexts read_tag_texts(StringView path)
{
    TagTexts texts;
    os::File file(path, os::FileMode::Read);
    if (!file.is_open())
        return texts;
    audio::BufferedInStream in(file, TAG_READ_BUFFER);
    audio::Id3Tag tag;
    audio::VorbisComment comments;
    if (tag.read(in) != 0)
        texts = { tag.text("TPE1"), tag.text("TIT2"), tag.text("TALB") };
    else if (audio::read_stream_comments(in, comments))
        texts = { comments.text("ARTIST"), comments.text("TITLE"), comments.text("ALBUM") };
    return texts;
}

String title_or_name(StringView title, StringView path)
{
    return title.empty() ? os::base_name(path) : String(title);
}

RecordEntry read_record_entry(StringView path, DurationCache* durations)
{
    RecordEntry entry;
    entry.path = String(path);
    os::FileInfo const info(path);
    entry.size = size_text(info.size());
    entry.time = std::min(info.created(), info.modified());
    if (info.size() != 0)
        entry.duration_ms
            = durations ? durations->duration(path, info.size(), info.modified()) : audio::probe_duration_ms(path);
    auto texts = read_tag_texts(path);
    entry.artist = std::move(texts.artist);
    entry.title = title_or_name(texts.title, path);
    entry.album = std::move(texts.album);
    return entry;
}

bool is_audio_file(StringView path)
{
    String const name = os::lower(os::file_name(path));
    return std::any_of(std::begin(AUDIO_EXTENSIONS), std::end(AUDIO_EXTENSIONS),
        [&](StringView extension) { return name.ends_with(extension); });
}

bool is_in_main_memory(StringView path)
{
    String const documents = documents_folder();
    return path.substr(0, documents.size()) == documents;
}

size_t RecordList::position_for(RecordEntry const& entry) const
{
    auto const goes_before = [](RecordEntry const& listed, RecordEntry const& added) {
        return listed.path != added.path && listed.time > added.time;
    };
    return static_cast<size_t>(
        std::lower_bound(entries_.begin(), entries_.end(), entry, goes_before) - entries_.begin());
}

bool RecordList::contains(StringView path) const
{
    return paths_.contains(String(path));
}

int32_t RecordList::find(StringView path) const
{
    if (!contains(path))
        return -1;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].path == path)
            return static_cast<int32_t>(i);
    return -1;
}

int32_t RecordList::insert(RecordEntry entry)
{
    if (contains(entry.path))
        return -1;
    size_t const at = position_for(entry);
    paths_.insert(entry.path);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return static_cast<int32_t>(at);
}

void RecordList::remove(size_t index)
{
    paths_.erase(entries_[index].path);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void RecordList::replace(size_t index, RecordEntry entry)
{
    paths_.erase(entries_[index].path);
    paths_.insert(entry.path);
    entries_[index] = std::move(entry);
}

void RecordList::clear()
{
    entries_.clear();
    paths_.clear();
}

} // namespace document
