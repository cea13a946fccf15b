#include "WaveWriter.h"

#include "AdpcmEncoder.h"
#include "GsmEncoder.h"

namespace audio {

WaveWriter::WaveWriter(core::StringView path, WaveCoding coding, bool append, AudioFormat const& capture)
    : coding_(coding)
    , file_writer_(std::make_unique<WaveFileWriter>(path, coding, append, capture))
{
    if (coding == WaveCoding::ADPCM) {
        // Blocks of another size than the file's would be taken apart at the wrong places.
        uint16_t const align = append && file_writer_->is_good() ? file_writer_->header().block_align : 0;
        encoder_ = std::make_unique<AdpcmEncoder>(align);
    } else if (coding == WaveCoding::GSM) {
        encoder_ = std::make_unique<GsmEncoder>();
    }
    if (encoder_)
        connect(*encoder_, file_writer_.get());
}

WaveWriter::~WaveWriter()
{
    encoder_.reset();
    file_writer_.reset();
}

AudioConsumer& WaveWriter::input()
{
    if (encoder_)
        return *encoder_;
    return *file_writer_;
}

core::StringView WaveWriter::format_name() const
{
    switch (coding_) {
    case WaveCoding::ADPCM:
        return u"ADPCM";
    case WaveCoding::GSM:
        return u"GSM";
    default:
        return u"PCM";
    }
}

bool WaveWriter::link(WaveCoding kind, AudioProducer& port)
{
    if (kind != coding_)
        return false;
    connect(port, file_writer_.get());
    return true;
}

} // namespace audio
