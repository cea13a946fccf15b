#include "WaveformPeaks.h"

#include <algorithm>
#include <audio/readers/PeakScan.h>
#include <cstring>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <platform/services/shell.h>
#include <string>

namespace document {

using core::String;
using core::StringView;

namespace {

constexpr char16_t FOLDER_NAME[] = u"peaks";
// The first bytes, so that a later layout (or another file) is not misread.
constexpr char MAGIC[8] = { 'R', 'V', 'P', 'E', 'A', 'K', 'S', '1' };
constexpr size_t HEADER = sizeof(MAGIC) + 8 + 8 + 4 + 4;

void put(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t get(std::string const& in, size_t at, int bytes)
{
    uint64_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = (value << 8) | static_cast<uint8_t>(in[at + static_cast<size_t>(i)]);
    return value;
}

} // namespace

// The worker: one scan of one file, its progress handed to the owner.
class WaveformPeaks::Scanner final : public core::Thread {
public:
    Scanner(WaveformPeaks& owner, Key key)
        : owner_(owner)
        , key_(std::move(key))
    {
    }
    ~Scanner() override
    {
        request_stop();
        join();
    }

protected:
    void run() override
    {
        bool const done = audio::scan_peaks(key_.path, [this](std::vector<uint8_t> const& peaks, int32_t known) {
            return !stop_requested() && owner_.take(peaks, known);
        });
        // A scan that finished is kept even when the screen let go of it meanwhile.
        if (done)
            owner_.store(key_, owner_peaks());
    }

private:
    std::vector<uint8_t> owner_peaks()
    {
        core::Lock guard(owner_.lock_);
        return owner_.peaks_;
    }

    WaveformPeaks& owner_;
    Key const key_;
};

WaveformPeaks::WaveformPeaks(String folder, size_t max_files)
    : folder_(folder.empty() ? platform::state_folder() + u"/" + FOLDER_NAME : std::move(folder))
    , max_files_(max_files)
{
}

WaveformPeaks::~WaveformPeaks()
{
    close();
}

WaveformPeaks::Key WaveformPeaks::key_of(StringView path)
{
    os::FileInfo const info(path);
    os::DateTime const& t = info.modified();
    int64_t const days = (int64_t(t.year) * 12 + t.month) * 31 + t.day;
    int64_t const stamp = (((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    return { String(path), info.size(), stamp };
}

String WaveformPeaks::cache_file(StringView path) const
{
    // FNV-1a of the path names the file; the path inside it settles a clash.
    uint64_t hash = 0xCBF29CE484222325ull;
    for (char const c : core::to_utf8(path)) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 0x100000001B3ull;
    }
    static constexpr char16_t DIGITS[] = u"0123456789abcdef";
    String name;
    for (int i = 15; i >= 0; --i)
        name += DIGITS[(hash >> (4 * i)) & 0xF];
    return folder_ + u"/" + name + u".peaks";
}

void WaveformPeaks::open(StringView path)
{
    Key const key = key_of(path);
    if (key == key_ && (scanner_ || has_peaks())) {
        // Told again: the screen that asks may have a new element to fill.
        core::Lock guard(lock_);
        changed_ = true;
        return;
    }
    close();
    key_ = key;
    std::vector<uint8_t> cached;
    from_cache_ = load(key, cached);
    if (from_cache_) {
        core::Lock guard(lock_);
        peaks_ = std::move(cached);
        known_ = audio::PEAK_COUNT;
        changed_ = true;
        return;
    }
    scanner_ = std::make_unique<Scanner>(*this, key);
    scanner_->start();
}

void WaveformPeaks::close()
{
    scanner_.reset();
    key_ = {};
    from_cache_ = false;
    core::Lock guard(lock_);
    peaks_.clear();
    known_ = 0;
    changed_ = true;
}

bool WaveformPeaks::poll(std::vector<uint8_t>& peaks, double& known)
{
    core::Lock guard(lock_);
    if (!changed_)
        return false;
    changed_ = false;
    peaks = peaks_;
    known = double(known_) / audio::PEAK_COUNT;
    return true;
}

bool WaveformPeaks::has_peaks() const
{
    core::Lock guard(lock_);
    return !peaks_.empty();
}

bool WaveformPeaks::scanning() const
{
    return scanner_ && scanner_->is_running();
}

bool WaveformPeaks::take(std::vector<uint8_t> const& peaks, int32_t known)
{
    core::Lock guard(lock_);
    peaks_ = peaks;
    known_ = known;
    changed_ = true;
    return true;
}

bool WaveformPeaks::load(Key const& key, std::vector<uint8_t>& peaks) const
{
    os::File in(cache_file(key.path), os::FileMode::Read);
    if (!in.is_open())
        return false;
    std::string bytes(in.size(), '\0');
    bytes.resize(in.read(bytes.data(), static_cast<uint32_t>(bytes.size())));
    // Every length is checked against the bytes held: a damaged file is computed again.
    if (bytes.size() < HEADER || std::memcmp(bytes.data(), MAGIC, sizeof(MAGIC)) != 0)
        return false;
    size_t at = sizeof(MAGIC);
    uint64_t const size = get(bytes, at, 8);
    auto const stamp = static_cast<int64_t>(get(bytes, at + 8, 8));
    uint64_t const count = get(bytes, at + 16, 4);
    uint64_t const name_length = get(bytes, at + 20, 4);
    at = HEADER;
    if (count != uint64_t(audio::PEAK_COUNT) || bytes.size() - at != name_length + count)
        return false;
    if (size != key.size || stamp != key.stamp || bytes.compare(at, name_length, core::to_utf8(key.path)) != 0)
        return false;
    peaks.assign(bytes.begin() + static_cast<ptrdiff_t>(at + name_length), bytes.end());
    return true;
}

void WaveformPeaks::store(Key const& key, std::vector<uint8_t> const& peaks) const
{
    std::string const name = core::to_utf8(key.path);
    std::string bytes(MAGIC, sizeof(MAGIC));
    put(bytes, key.size, 8);
    put(bytes, static_cast<uint64_t>(key.stamp), 8);
    put(bytes, peaks.size(), 4);
    put(bytes, name.size(), 4);
    bytes += name;
    bytes.append(reinterpret_cast<char const*>(peaks.data()), peaks.size());
    if (!os::FileInfo(folder_).exists())
        os::create_directory(folder_);
    // Written beside and moved over the old one, so that a reader never meets half a file.
    String const file = cache_file(key.path);
    String const part = file + u".part";
    {
        os::File out(part, os::FileMode::Write);
        if (!out.is_open() || out.write(bytes.data(), static_cast<uint32_t>(bytes.size())) != bytes.size())
            return;
    }
    os::delete_file(file);
    os::FileInfo(part).move_to(file);
    prune();
}

void WaveformPeaks::prune() const
{
    struct Lister : os::DirectoryVisitor {
        std::vector<std::pair<int64_t, String>> files; // last write, path
        bool on_file(String const& path) override
        {
            files.emplace_back(key_of(path).stamp, path);
            return true;
        }
        bool on_directory(String const&) override { return true; }
    } lister;
    os::walk_directory(lister, folder_, u"*.peaks", u"", false);
    if (lister.files.size() <= max_files_)
        return;
    std::sort(lister.files.begin(), lister.files.end());
    for (size_t i = 0; i + max_files_ < lister.files.size(); ++i)
        os::delete_file(lister.files[i].second);
}

} // namespace document
