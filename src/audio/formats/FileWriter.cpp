#include "FileWriter.h"

#include "Mp3Writer.h"
#include "WaveWriter.h"

namespace audio {

RateInfo::~RateInfo() = default;
WriterStatus::~WriterStatus() = default;
ReaderVisitor::~ReaderVisitor() = default;

bool ReaderVisitor::link_pcm(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_adpcm(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_gsm(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_vorbis(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_mpc(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_mp3(AudioProducer&)
{
    return false;
}

std::unique_ptr<FileWriter> create_writer(
    core::StringView path, core::StringView format_name, int32_t, int32_t, int32_t, int32_t bit_rate, bool append)
{
    // The capture format reaches the writers with the first buffer; only the MP3 bit rate is needed here.
    if (format_name == u"PCM")
        return std::make_unique<WaveWriter>(path, WaveCoding::PCM, append);
    if (format_name == u"ADPCM")
        return std::make_unique<WaveWriter>(path, WaveCoding::ADPCM, append);
    if (format_name == u"GSM")
        return std::make_unique<WaveWriter>(path, WaveCoding::GSM, append);
    if (format_name == u"mp3")
        return std::make_unique<Mp3Writer>(path, bit_rate, append);
    return nullptr;
}

} // namespace audio
