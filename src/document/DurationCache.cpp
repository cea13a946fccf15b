#include "DurationCache.h"

#include <audio/readers/DurationProbe.h>
#include <charconv>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <platform/services/shell.h>
#include <string>
#include <string_view>

namespace document {

using core::String;
using core::StringView;

namespace {

constexpr char16_t CACHE_NAME[] = u"durations.txt";
// The first line, so that a later layout is not misread; 2 since Musepack lengths are read from its
// header (version 1 took them from bytes that looked like MPEG frames).
constexpr std::string_view CACHE_HEADER = "ravelin durations 2\n";

int64_t stamp_of(os::DateTime const& t)
{
    int64_t days = (int64_t(t.year) * 12 + t.month) * 31 + t.day;
    return (((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

bool take_number(std::string_view& line, int64_t& value)
{
    auto const tab = line.find('\t');
    if (tab == std::string_view::npos)
        return false;
    auto const [end, error] = std::from_chars(line.data(), line.data() + tab, value);
    if (error != std::errc() || end != line.data() + tab)
        return false;
    line.remove_prefix(tab + 1);
    return true;
}

} // namespace

DurationCache::DurationCache(String file)
    : file_(file.empty() ? platform::state_folder() + u"/" + CACHE_NAME : std::move(file))
{
}

void DurationCache::load()
{
    loaded_ = true;
    os::File in(file_, os::FileMode::Read);
    if (!in.is_open())
        return;
    std::string text(in.size(), '\0');
    text.resize(in.read(text.data(), static_cast<uint32_t>(text.size())));
    std::string_view rest(text);
    if (!rest.starts_with(CACHE_HEADER))
        return;
    rest.remove_prefix(CACHE_HEADER.size());
    while (!rest.empty()) {
        auto const end = rest.find('\n');
        // A line cut off by a write that did not finish is dropped with the rest.
        if (end == std::string_view::npos)
            break;
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        int64_t size = 0;
        Entry entry;
        if (take_number(line, size) && take_number(line, entry.stamp) && take_number(line, entry.ms) && size >= 0
            && !line.empty()) {
            entry.size = static_cast<uint64_t>(size);
            entries_[core::from_utf8(line)] = entry;
        }
    }
}

int64_t DurationCache::duration(StringView path, uint64_t size, os::DateTime const& modified)
{
    if (!loaded_)
        load();
    int64_t const stamp = stamp_of(modified);
    Entry& entry = entries_[String(path)];
    entry.asked = true;
    if (entry.size == size && entry.stamp == stamp && size != 0)
        return entry.ms;
    entry.size = size;
    entry.stamp = stamp;
    entry.ms = audio::probe_duration_ms(path);
    changed_ = true;
    return entry.ms;
}

bool DurationCache::save(bool listed_whole)
{
    if (listed_whole)
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->second.asked) {
                it->second.asked = false;
                ++it;
            } else {
                it = entries_.erase(it);
                changed_ = true;
            }
        }
    if (!changed_)
        return true;
    std::string text(CACHE_HEADER);
    for (auto const& [path, entry] : entries_) {
        std::string const name = core::to_utf8(path);
        // A name with a line break would end its line early: such a file is probed at each listing.
        if (name.find('\n') != std::string::npos)
            continue;
        text += std::to_string(entry.size) + '\t' + std::to_string(entry.stamp) + '\t' + std::to_string(entry.ms) + '\t'
            + name + '\n';
    }
    if (String const folder = os::directory_part(file_); !os::FileInfo(folder).exists())
        os::create_directory(folder);
    // Written beside and moved over the old one, so that a reader never meets half a file.
    String const part = file_ + u".part";
    {
        os::File out(part, os::FileMode::Write);
        if (!out.is_open() || out.write(text.data(), static_cast<uint32_t>(text.size())) != text.size())
            return false;
    }
    os::delete_file(file_);
    if (!os::FileInfo(part).move_to(file_))
        return false;
    changed_ = false;
    return true;
}

} // namespace document
