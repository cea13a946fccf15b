#include "FileReader.h"

#include "AdpcmDecoder.h"
#include "FileReaderFLAC.h"
#include "FileReaderMP3.h"
#include "FileReaderMPC.h"
#include "FileReaderOpus.h"
#include "FileReaderVorbis.h"
#include "GsmDecoder.h"
#include "Id3v1Tag.h"
#include "ImaAdpcmDecoder.h"
#include "Mp3Decoder.h"
#include "PcmConverter.h"
#include "WaveFileReader.h"

#include <core/Log.h>
#include <os/Paths.h>

namespace audio {

FileReader::FileReader(
    ReaderKind kind, std::unique_ptr<Reader> reader, std::unique_ptr<AudioFilter> decoder, core::String title)
    : kind_(kind)
    , reader_(std::move(reader))
    , decoder_(std::move(decoder))
    , title_(std::move(title))
{
    if (decoder_)
        connect(*reader_, decoder_.get());
}

FileReader::~FileReader()
{
    decoder_.reset();
    reader_.reset();
}

AudioProducer& FileReader::source()
{
    if (decoder_)
        return *decoder_;
    return *reader_;
}

ReaderInfo& FileReader::info()
{
    return *reader_;
}

core::StringView FileReader::format_name() const
{
    switch (kind_) {
    case ReaderKind::PCM:
        return u"PCM";
    case ReaderKind::ADPCM:
        return u"ADPCM";
    case ReaderKind::GSM:
        return u"GSM";
    case ReaderKind::IMA_ADPCM:
        return u"IMA ADPCM";
    case ReaderKind::VORBIS:
        return u"Vorbis";
    case ReaderKind::MPC:
        return u"MPC";
    case ReaderKind::OPUS:
        return u"Opus";
    case ReaderKind::FLAC:
        return u"FLAC";
    case ReaderKind::MP3:
        break;
    }
    return u"mp3";
}

bool FileReader::accept(ReaderVisitor& visitor)
{
    switch (kind_) {
    case ReaderKind::PCM:
        return visitor.link_pcm(*reader_);
    case ReaderKind::ADPCM:
        return visitor.link_adpcm(*reader_);
    case ReaderKind::GSM:
        return visitor.link_gsm(*reader_);
    case ReaderKind::IMA_ADPCM:
        return false; // no writer continues it
    case ReaderKind::VORBIS:
        return visitor.link_vorbis(*reader_);
    case ReaderKind::MPC:
        return visitor.link_mpc(*reader_);
    case ReaderKind::OPUS:
        return visitor.link_opus(*reader_);
    case ReaderKind::FLAC:
        return visitor.link_flac(*reader_);
    case ReaderKind::MP3:
        break;
    }
    return visitor.link_mp3(*reader_);
}

std::unique_ptr<FileReader> create_reader(core::StringView path)
{
    core::String why;
    return create_reader(path, why);
}

std::unique_ptr<FileReader> create_reader(core::StringView path, core::String& why)
{
    core::String const name(path);
    StreamOpener const open = [&name] { return std::make_unique<os::File>(name, os::FileMode::Read); };
    auto reader = create_reader(open, path);
    why.clear();
    if (!reader) {
        why = refusal(open);
        core::log() << u"create_reader: " << name << u" refused: " << why << u"\n";
    }
    return reader;
}

core::String refusal(StreamOpener const& open)
{
    auto in = open();
    if (!in || !in->is_open())
        return u"cannot be read";
    WaveHeader header;
    std::string why;
    if (header.read(*in, &why))
        why = header.refusal();
    if (why == platform::riff::NOT_RIFF_WAVE)
        return u"neither a WAV file nor Ogg Vorbis, Ogg Opus, Musepack, FLAC or MP3";
    if (why.empty())
        return u"its data cannot be read";
    return core::from_utf8(why);
}

std::unique_ptr<FileReader> create_reader(StreamOpener const& open, core::StringView path)
{
    core::String const name = os::file_name(path);
    auto wave = [&](WaveCoding coding) {
        auto reader = std::make_unique<WaveFileReader>(open(), coding);
        return reader->is_valid() ? std::move(reader) : nullptr;
    };
    if (auto reader = wave(WaveCoding::PCM)) {
        WaveHeader const header = reader->header();
        std::unique_ptr<AudioFilter> converter;
        if (header.needs_conversion())
            converter = std::make_unique<PcmConverter>(header.sample_format());
        return std::make_unique<FileReader>(ReaderKind::PCM, std::move(reader), std::move(converter), name);
    }
    if (auto reader = wave(WaveCoding::ADPCM)) {
        auto decoder = std::make_unique<AdpcmDecoder>(reader->header().coefficients);
        return std::make_unique<FileReader>(ReaderKind::ADPCM, std::move(reader), std::move(decoder), name);
    }
    if (auto reader = wave(WaveCoding::GSM))
        return std::make_unique<FileReader>(ReaderKind::GSM, std::move(reader), std::make_unique<GsmDecoder>(), name);
    if (auto reader = wave(WaveCoding::IMA_ADPCM))
        return std::make_unique<FileReader>(
            ReaderKind::IMA_ADPCM, std::move(reader), std::make_unique<ImaAdpcmDecoder>(), name);
    if (auto reader = std::make_unique<FileReaderVorbis>(open()); reader->is_valid())
        return std::make_unique<FileReader>(ReaderKind::VORBIS, std::move(reader), nullptr, name);
    if (auto reader = std::make_unique<FileReaderOpus>(open()); reader->is_valid())
        return std::make_unique<FileReader>(ReaderKind::OPUS, std::move(reader), nullptr, name);
    if (auto reader = std::make_unique<FileReaderMPC>(open()); reader->is_valid())
        return std::make_unique<FileReader>(ReaderKind::MPC, std::move(reader), nullptr, name);
    if (auto reader = std::make_unique<FileReaderFLAC>(open()); reader->is_valid())
        return std::make_unique<FileReader>(ReaderKind::FLAC, std::move(reader), nullptr, name);
    if (auto reader = std::make_unique<FileReaderMP3>(open()); reader->is_valid()) {
        core::String title = name;
        Id3v1Tag tag;
        if (auto in = open(); in && in->is_open() && tag.read(*in) && !tag.title.empty())
            title = tag.title;
        return std::make_unique<FileReader>(ReaderKind::MP3, std::move(reader), std::make_unique<Mp3Decoder>(), title);
    }
    return nullptr;
}

} // namespace audio
