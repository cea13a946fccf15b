#include "RecordFilter.h"

#include <algorithm>
#include <os/Paths.h>

namespace screens {

bool RecordFilter::load_key_map(core::StringView path)
{
    lang::Dictionary dictionary;
    if (!dictionary.load(path))
        return false;
    keys_ = dictionary.entries();
    return true;
}

bool RecordFilter::is_separator(char16_t c)
{
    static constexpr core::StringView SEPARATORS = u" /:-.,;!?#*_=\\|(){}[]<>~@$%^&`\"'";
    return SEPARATORS.find(c) != core::StringView::npos;
}

bool RecordFilter::stands_for(char16_t key, char16_t c) const
{
    auto const found = keys_.find(core::StringView(&key, 1));
    // A key the map does not know stands for itself alone.
    if (found == keys_.end())
        return c == key;
    return found->second.find(c) != core::String::npos;
}

int32_t RecordFilter::match(core::StringView text) const
{
    if (keys_typed_.empty())
        return 0;
    core::String const lowered = os::lower(text);
    size_t const length = keys_typed_.size();
    if (length > lowered.size())
        return -1;
    for (size_t p = 0; p + length <= lowered.size(); ++p) {
        if (lowered[p] == u' ' || (p > 0 && !is_separator(lowered[p - 1])))
            continue;
        bool all = true;
        for (size_t j = 0; j < length && all; ++j)
            all = stands_for(keys_typed_[j], lowered[p + j]);
        if (all)
            return static_cast<int32_t>(p);
    }
    return -1;
}

bool RecordFilter::passes(document::RecordEntry const& entry) const
{
    return match(entry.artist) >= 0 || match(entry.title) >= 0;
}

int32_t RecordFilter::position_of(int32_t index) const
{
    auto const found = std::lower_bound(shown_.begin(), shown_.end(), index);
    return found != shown_.end() && *found == index ? static_cast<int32_t>(found - shown_.begin()) : -1;
}

void RecordFilter::rebuild(document::RecordList const& records)
{
    shown_.clear();
    for (size_t i = 0; i < records.size(); ++i)
        if (keys_typed_.empty() || passes(records[i]))
            shown_.push_back(static_cast<int32_t>(i));
}

bool RecordFilter::type(char16_t key, document::RecordList const& records)
{
    if (shown_.empty())
        return false;
    keys_typed_ += key;
    rebuild(records);
    return true;
}

bool RecordFilter::backspace(document::RecordList const& records)
{
    if (keys_typed_.empty())
        return false;
    keys_typed_.pop_back();
    rebuild(records);
    return true;
}

void RecordFilter::clear(document::RecordList const& records)
{
    keys_typed_.clear();
    rebuild(records);
}

} // namespace screens
