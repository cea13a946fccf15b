#include "FileWriter.h"

#include "FlacWriter.h"
#include "Mp3Writer.h"
#include "OpusWriter.h"
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

bool ReaderVisitor::link_opus(AudioProducer&)
{
    return false;
}

bool ReaderVisitor::link_flac(AudioProducer&)
{
    return false;
}

std::unique_ptr<FileWriter> create_writer(core::StringView path, core::StringView format_name, int32_t channels,
    int32_t bits_per_sample, int32_t samples_per_second, int32_t bit_rate, bool append, RecordingTags const& tags)
{
    // A WAV file takes its format from its first buffer; the capture format only answers the bit rate until
    // then.
    AudioFormat const capture { channels, bits_per_sample, samples_per_second };
    if (format_name == u"PCM")
        return std::make_unique<WaveWriter>(path, WaveCoding::PCM, append, capture);
    if (format_name == u"ADPCM")
        return std::make_unique<WaveWriter>(path, WaveCoding::ADPCM, append, capture);
    if (format_name == u"GSM")
        return std::make_unique<WaveWriter>(path, WaveCoding::GSM, append, capture);
    if (format_name == u"mp3")
        return std::make_unique<Mp3Writer>(path, bit_rate, append);
    if (format_name == u"Opus")
        return std::make_unique<OpusWriter>(path, channels, samples_per_second, bit_rate, append, tags);
    if (format_name == u"FLAC")
        return std::make_unique<FlacWriter>(path, channels, bits_per_sample, samples_per_second, append, tags);
    return nullptr;
}

bool can_continue(core::StringView path, core::StringView format_name)
{
    if (format_name == u"PCM")
        return WaveFileWriter::can_continue(path, WaveCoding::PCM);
    if (format_name == u"ADPCM")
        return WaveFileWriter::can_continue(path, WaveCoding::ADPCM);
    if (format_name == u"GSM")
        return WaveFileWriter::can_continue(path, WaveCoding::GSM);
    return format_name == u"mp3" || format_name == u"Opus" || format_name == u"FLAC";
}

} // namespace audio
