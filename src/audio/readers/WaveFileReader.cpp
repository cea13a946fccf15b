#include "WaveFileReader.h"

#include <algorithm>
#include <cmath>

namespace audio {

namespace {

// Bytes handed out by one get_data, whatever a header makes a frame: a pull never allocates more.
constexpr uint32_t MAX_PIECE = 1 << 20;

} // namespace

WaveFileReader::WaveFileReader(std::unique_ptr<os::InStream> in, WaveCoding coding)
    : Reader(std::move(in))
    , coding_(coding)
{
    valid_ = open();
    good_ = valid_;
}

bool WaveFileReader::open()
{
    if (!in_ || !in_->is_open() || !header_.read(*in_) || header_.block_align == 0)
        return false;
    switch (coding_) {
    case WaveCoding::PCM:
        if (!header_.passes_pcm_checks())
            return false;
        frames_per_block_ = 1;
        break;
    case WaveCoding::ADPCM:
        // The block size decides how many samples a block holds; one too small to hold its own header
        // holds none.
        if (!header_.passes_adpcm_checks() || header_.block_align <= 7 * header_.channels)
            return false;
        frames_per_block_ = WaveHeader::adpcm_samples_per_block(header_.block_align, header_.channels);
        break;
    case WaveCoding::GSM:
        if (!header_.passes_gsm_checks())
            return false;
        frames_per_block_ = WaveHeader::GSM_SAMPLES_PER_BLOCK;
        break;
    case WaveCoding::IMA_ADPCM:
        if (!header_.passes_ima_checks())
            return false;
        frames_per_block_ = WaveHeader::ima_samples_per_block(header_.block_align, header_.channels);
        break;
    }
    uint32_t const size = in_->size();
    if (header_.data_start > size)
        return false;
    header_.data_size = std::min(header_.data_size, size - header_.data_start);
    position_ = 0;
    return in_->seek(header_.data_start);
}

AudioBuffer WaveFileReader::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || frames <= 0)
        return {};
    uint32_t const align = header_.block_align;
    uint64_t const blocks = std::max<uint64_t>(uint64_t(frames) / frames_per_block_, 1);
    uint32_t const limit = std::max(MAX_PIECE / align, 1u) * align;
    uint32_t const remaining = (header_.data_size - position_) / align * align;
    uint32_t const bytes = static_cast<uint32_t>(std::min<uint64_t>({ blocks * align, remaining, limit }));
    if (bytes == 0)
        return {};
    core::SharedBuffer data(bytes);
    uint32_t const got = in_->read(data.writable(), bytes);
    bytes_read_ += got;
    if (got < bytes) {
        valid_ = false;
        good_ = false;
        return {};
    }
    position_ += bytes;
    AudioBuffer buffer(std::move(data), header_.format());
    if (coding_ != WaveCoding::PCM)
        buffer.coded_block_size = align;
    return buffer;
}

int64_t WaveFileReader::frames_in(AudioBuffer const& buffer)
{
    return static_cast<int64_t>(buffer.length() / header_.block_align) * frames_per_block_;
}

bool WaveFileReader::at_end()
{
    core::Lock guard(lock());
    return !valid_ || uint64_t(position_) + header_.block_align > header_.data_size;
}

int32_t WaveFileReader::channels()
{
    core::Lock guard(lock());
    return header_.channels;
}

int32_t WaveFileReader::bits_per_sample()
{
    core::Lock guard(lock());
    return coding_ == WaveCoding::PCM ? header_.bits_per_sample : 16;
}

int32_t WaveFileReader::samples_per_second()
{
    core::Lock guard(lock());
    return static_cast<int32_t>(header_.samples_per_second);
}

int32_t WaveFileReader::bit_rate()
{
    core::Lock guard(lock());
    return static_cast<int32_t>(std::min<uint64_t>(uint64_t(header_.avg_bytes_per_second) * 8, INT32_MAX));
}

// Coded blocks hold many frames: a time is the start of the block that holds it.
int64_t WaveFileReader::seconds_to_units(double seconds)
{
    core::Lock guard(lock());
    double const frames = std::trunc(double(header_.samples_per_second) * std::max(seconds, 0.0));
    return static_cast<int64_t>(std::trunc(frames / frames_per_block_)) * header_.block_align;
}

double WaveFileReader::units_to_seconds(int64_t units)
{
    core::Lock guard(lock());
    if (!valid_ || header_.samples_per_second == 0)
        return 0.0;
    return double(units) / header_.block_align * frames_per_block_ / header_.samples_per_second;
}

int64_t WaveFileReader::length()
{
    core::Lock guard(lock());
    return valid_ ? header_.data_size : 0;
}

int64_t WaveFileReader::position()
{
    core::Lock guard(lock());
    return position_;
}

bool WaveFileReader::seek(int64_t units)
{
    core::Lock guard(lock());
    if (!valid_)
        return false;
    // A byte inside a frame or block would shift every sample after it.
    uint32_t const align = header_.block_align;
    int64_t const clamped = std::clamp<int64_t>(units, 0, header_.data_size) / align * align;
    if (!in_->seek(header_.data_start + static_cast<uint32_t>(clamped)))
        return false;
    position_ = static_cast<uint32_t>(clamped);
    return true;
}

WaveHeader WaveFileReader::header()
{
    core::Lock guard(lock());
    return header_;
}

int32_t WaveFileReader::frames_per_block()
{
    core::Lock guard(lock());
    return static_cast<int32_t>(frames_per_block_);
}

} // namespace audio
