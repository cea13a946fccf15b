#include "WaveFileWriter.h"

#include <algorithm>
#include <core/Log.h>
#include <os/FileInfo.h>

namespace audio {

namespace {

WaveHeader initial_header(WaveCoding coding, AudioFormat const& expected)
{
    switch (coding) {
    case WaveCoding::ADPCM:
        return WaveHeader::adpcm(expected.channels, expected.samples_per_second);
    case WaveCoding::GSM:
        return WaveHeader::gsm();
    default:
        return WaveHeader::pcm(expected);
    }
}

// Whether the encoder of `coding` can continue a file with this header as it stands.
bool continuable(WaveHeader const& h, WaveCoding coding)
{
    switch (coding) {
    case WaveCoding::PCM:
        // Capture gives 8- or 16-bit integers in one or two channels: a file of other samples would only
        // drop every buffer.
        return h.passes_pcm_checks() && !h.needs_conversion();
    case WaveCoding::GSM:
        return h.passes_gsm_checks();
    case WaveCoding::ADPCM:
        // Our blocks must be those the file declares: same predictors, same block size, same samples per
        // block, or a reader would take them apart at the wrong places.
        return h.passes_adpcm_checks() && h.block_align > 7 * h.channels
            && h.samples_per_block == WaveHeader::adpcm_samples_per_block(h.block_align, h.channels)
            && std::equal(h.coefficients.begin(), h.coefficients.end(), WaveHeader::ADPCM_COEFFICIENTS.begin());
    case WaveCoding::IMA_ADPCM:
        break;
    }
    return false;
}

} // namespace

WaveFileWriter::WaveFileWriter(core::StringView path, WaveCoding coding, bool append, AudioFormat const& expected)
    : path_(path)
    , coding_(coding)
    , header_(initial_header(coding, expected))
{
    if (!append) {
        good_ = true;
        return;
    }
    good_ = open_existing();
    if (!good_) {
        file_.reset();
        core::log() << "WaveFileWriter: cannot continue " << path_ << "\n";
    }
}

bool WaveFileWriter::open_existing()
{
    // Opening for reading and writing would create a missing file; a continuation needs one that exists.
    os::FileInfo const info(path_);
    if (!info.exists() || info.is_directory())
        return false;
    file_ = std::make_unique<os::File>(path_, os::FileMode::ReadWrite);
    WaveHeader h;
    if (!h.read(*file_) || !continuable(h, coding_) || h.block_align == 0)
        return false;
    // What the header claims beyond the file, or a trailing part of a block, is not audio we can follow.
    uint32_t const available = file_->size() - h.data_start;
    uint32_t const whole = std::min(h.data_size, available) / h.block_align * h.block_align;
    if (whole != h.data_size && h.samples_per_block)
        h.fact_samples = static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t(whole / h.block_align) * h.samples_per_block, 0xFFFFFFFFu));
    h.data_size = whole;
    header_ = std::move(h);
    continued_ = true;
    frames_ = header_.data_size / header_.block_align;
    return file_->set_size(header_.data_start + header_.data_size) && file_->is_open();
}

bool WaveFileWriter::can_continue(core::StringView path, WaveCoding coding)
{
    os::File file(path, os::FileMode::Read);
    WaveHeader h;
    return file.is_open() && h.read(file) && continuable(h, coding) && h.block_align != 0;
}

WaveFileWriter::~WaveFileWriter()
{
    core::Lock guard(lock());
    if (!file_)
        return;
    bool const written = continued_ ? header_.update_sizes(*file_) : file_->seek(0) && header_.write(*file_);
    if (!written)
        core::log() << "WaveFileWriter: the final header of " << path_ << " was not written\n";
    file_.reset();
}

bool WaveFileWriter::is_good()
{
    core::Lock guard(lock());
    return good_;
}

uint32_t WaveFileWriter::bytes_written()
{
    core::Lock guard(lock());
    return frames_ * header_.block_align;
}

int32_t WaveFileWriter::bit_rate()
{
    core::Lock guard(lock());
    return static_cast<int32_t>(header_.avg_bytes_per_second * 8);
}

WaveHeader WaveFileWriter::header()
{
    core::Lock guard(lock());
    return header_;
}

AudioBuffer WaveFileWriter::transform(AudioBuffer const& input)
{
    if (!good_ || input.empty())
        return input;
    if (!file_ && !create(input))
        return input;
    if (accepts(input))
        write(input);
    return input;
}

bool WaveFileWriter::create(AudioBuffer const& first)
{
    AudioFormat const& f = first.format;
    switch (coding_) {
    case WaveCoding::PCM:
        if (f.channels <= 0 || f.bits_per_sample <= 0 || f.samples_per_second <= 0)
            return false;
        header_ = WaveHeader::pcm(f);
        break;
    case WaveCoding::ADPCM:
        if ((f.channels != 1 && f.channels != 2) || f.samples_per_second <= 0
            || first.coded_block_size <= 7 * f.channels || first.coded_block_size > 0xFFFF)
            return false;
        header_ = WaveHeader::adpcm(f.channels, f.samples_per_second, static_cast<uint16_t>(first.coded_block_size));
        break;
    case WaveCoding::GSM:
        break;
    case WaveCoding::IMA_ADPCM:
        return false; // read only
    }
    file_ = std::make_unique<os::File>(path_, os::FileMode::Write);
    good_ = header_.write(*file_);
    return good_;
}

bool WaveFileWriter::accepts(AudioBuffer const& buffer) const
{
    if (buffer.format != header_.format())
        return false;
    return coding_ == WaveCoding::PCM || buffer.coded_block_size == header_.block_align;
}

void WaveFileWriter::write(AudioBuffer const& buffer)
{
    uint32_t const length = static_cast<uint32_t>(buffer.length());
    // A file stays below 4 GB, as the sizes of its header must.
    if (uint64_t(header_.data_start) + header_.data_size + length > 0xFFFFFFFFu) {
        good_ = false;
        return;
    }
    uint32_t const written = file_->write(buffer.data.data(), length);
    uint32_t const frames = written / header_.block_align;
    frames_ += frames;
    header_.data_size += frames * header_.block_align;
    if (coding_ != WaveCoding::PCM) {
        // Past 2^32 - 1 samples (a mono 44.1 kHz ADPCM file near 2 GB) the count stays at its largest
        // value rather than wrap to a short one; readers take the length from the data size then.
        uint64_t const samples = uint64_t(header_.fact_samples) + uint64_t(frames) * header_.samples_per_block;
        header_.fact_samples = static_cast<uint32_t>(std::min<uint64_t>(samples, 0xFFFFFFFFu));
    }
    if (written % header_.block_align != 0) {
        file_->set_size(header_.data_start + header_.data_size);
        good_ = false;
    }
    if (written < length) {
        core::log() << "WaveFileWriter::write error=" << platform::last_error() << "\n";
        good_ = false;
    }
}

} // namespace audio
