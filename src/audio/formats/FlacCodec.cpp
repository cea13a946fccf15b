// The only file that sees libFLAC.
#include "FlacCodec.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <algorithm>
#include <cstring>

namespace audio {

namespace {

// FLAC's metadata objects, deleted with the encoder that was given them.
struct Metadata {
    std::vector<FLAC__StreamMetadata*> blocks;
    ~Metadata()
    {
        for (auto* block : blocks)
            FLAC__metadata_object_delete(block);
    }
};

bool add_comments(Metadata& metadata, std::vector<std::string> const& comments)
{
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!block)
        return false;
    metadata.blocks.push_back(block);
    for (auto const& comment : comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry {
            static_cast<FLAC__uint32>(comment.size()),
            reinterpret_cast<FLAC__byte*>(const_cast<char*>(comment.data())),
        };
        if (!FLAC__metadata_object_vorbiscomment_append_comment(block, entry, true))
            return false;
    }
    return true;
}

// A picture block's body as FLAC lays it out, into the library's picture object.
bool add_picture(Metadata& metadata, std::vector<uint8_t> const& body)
{
    auto be32 = [&](size_t at) {
        return at + 4 <= body.size()
            ? uint32_t(body[at]) << 24 | uint32_t(body[at + 1]) << 16 | uint32_t(body[at + 2]) << 8 | body[at + 3]
            : 0u;
    };
    size_t const mime_length = be32(4);
    size_t const description_at = 8 + mime_length;
    size_t const data_at = description_at + 4 + be32(description_at) + 16 + 4;
    if (data_at > body.size() || body.size() - data_at != be32(data_at - 4))
        return false;
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PICTURE);
    if (!block)
        return false;
    metadata.blocks.push_back(block);
    std::string mime(reinterpret_cast<char const*>(body.data() + 8), mime_length);
    block->data.picture.type = FLAC__STREAM_METADATA_PICTURE_TYPE_OTHER;
    FLAC__byte empty[1] = { 0 };
    return FLAC__metadata_object_picture_set_mime_type(block, mime.data(), true)
        && FLAC__metadata_object_picture_set_description(block, empty, true)
        && FLAC__metadata_object_picture_set_data(block, const_cast<FLAC__byte*>(body.data() + data_at),
            static_cast<FLAC__uint32>(body.size() - data_at), true);
}

bool add_padding(Metadata& metadata, uint32_t length)
{
    FLAC__StreamMetadata* block = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    if (!block)
        return false;
    block->length = length;
    metadata.blocks.push_back(block);
    return true;
}

} // namespace

struct FlacEncoder::Library {
    FLAC__StreamEncoder* encoder = nullptr;
    Output* output = nullptr;
    Metadata metadata;

    ~Library()
    {
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
    }

    static Library& of(void* data) { return *static_cast<Library*>(data); }

    static FLAC__StreamEncoderWriteStatus write(FLAC__StreamEncoder const*, FLAC__byte const buffer[], size_t bytes,
        uint32_t samples, uint32_t current_frame, void* data)
    {
        return of(data).output->write(buffer, bytes, samples, current_frame)
            ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
            : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    static FLAC__StreamEncoderSeekStatus seek(FLAC__StreamEncoder const*, FLAC__uint64 offset, void* data)
    {
        return of(data).output->seek(offset) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                             : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tell(FLAC__StreamEncoder const*, FLAC__uint64* offset, void* data)
    {
        uint64_t position = 0;
        if (!of(data).output->tell(position))
            return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
        *offset = position;
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

FlacEncoder::FlacEncoder() = default;
FlacEncoder::~FlacEncoder() = default;

bool FlacEncoder::open(Setup const& setup, Output& output)
{
    library_ = std::make_unique<Library>();
    Library& l = *library_;
    l.output = &output;
    l.encoder = FLAC__stream_encoder_new();
    if (!l.encoder)
        return false;
    FLAC__StreamEncoder* e = l.encoder;
    bool ok = FLAC__stream_encoder_set_channels(e, setup.channels)
        && FLAC__stream_encoder_set_bits_per_sample(e, setup.bits)
        && FLAC__stream_encoder_set_sample_rate(e, setup.rate) && FLAC__stream_encoder_set_compression_level(e, 5);
    if (ok && setup.block_size != 0) {
        // A continued stream keeps its own block size, which may lie outside the streamable subset.
        ok = FLAC__stream_encoder_set_streamable_subset(e, false)
            && FLAC__stream_encoder_set_blocksize(e, setup.block_size);
    }
    if (ok && setup.metadata) {
        // The padding right after the comments, where a longer title can take its room.
        ok = add_comments(l.metadata, setup.comments) && (setup.padding == 0 || add_padding(l.metadata, setup.padding))
            && (setup.picture.empty() || add_picture(l.metadata, setup.picture))
            && FLAC__stream_encoder_set_metadata(
                e, l.metadata.blocks.data(), static_cast<uint32_t>(l.metadata.blocks.size()));
    }
    bool const seekable = output.can_seek();
    ok = ok
        && FLAC__stream_encoder_init_stream(e, &Library::write, seekable ? &Library::seek : nullptr,
               seekable ? &Library::tell : nullptr, nullptr, &l)
            == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
    if (!ok)
        library_.reset();
    return ok;
}

bool FlacEncoder::is_open() const
{
    return library_ != nullptr;
}

bool FlacEncoder::encode(int32_t const* samples, uint32_t frames)
{
    return library_ && FLAC__stream_encoder_process_interleaved(library_->encoder, samples, frames);
}

bool FlacEncoder::finish()
{
    if (!library_)
        return false;
    bool const ok = FLAC__stream_encoder_finish(library_->encoder);
    library_.reset();
    return ok;
}

struct FlacDecoder::Library {
    FLAC__StreamDecoder* decoder = nullptr;
    os::InStream* in = nullptr;
    std::vector<int32_t>* out = nullptr;
    uint64_t first_sample = 0;
    bool got_frame = false;
    uint32_t channels = 0, bits = 0, rate = 0;
    uint64_t total = 0;

    ~Library()
    {
        if (decoder)
            FLAC__stream_decoder_delete(decoder);
    }

    static Library& of(void* data) { return *static_cast<Library*>(data); }

    static FLAC__StreamDecoderReadStatus read(
        FLAC__StreamDecoder const*, FLAC__byte buffer[], size_t* bytes, void* data)
    {
        Library& l = of(data);
        if (*bytes == 0)
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        *bytes = l.in->read(buffer, static_cast<uint32_t>(std::min<size_t>(*bytes, UINT32_MAX)));
        return *bytes == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    static FLAC__StreamDecoderSeekStatus seek(FLAC__StreamDecoder const*, FLAC__uint64 offset, void* data)
    {
        Library& l = of(data);
        return offset <= l.in->size() && l.in->seek(static_cast<uint32_t>(offset))
            ? FLAC__STREAM_DECODER_SEEK_STATUS_OK
            : FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamDecoderTellStatus tell(FLAC__StreamDecoder const*, FLAC__uint64* offset, void* data)
    {
        *offset = of(data).in->tell();
        return FLAC__STREAM_DECODER_TELL_STATUS_OK;
    }
    static FLAC__StreamDecoderLengthStatus length(FLAC__StreamDecoder const*, FLAC__uint64* length, void* data)
    {
        *length = of(data).in->size();
        return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
    }
    static FLAC__bool eof(FLAC__StreamDecoder const*, void* data)
    {
        Library& l = of(data);
        return l.in->tell() >= l.in->size();
    }
    static FLAC__StreamDecoderWriteStatus write(
        FLAC__StreamDecoder const*, FLAC__Frame const* frame, FLAC__int32 const* const buffer[], void* data)
    {
        Library& l = of(data);
        uint32_t const channels = frame->header.channels, count = frame->header.blocksize;
        // A damaged frame that claims other channels than the stream has is passed over.
        if (channels != l.channels)
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        l.first_sample = frame->header.number.sample_number;
        l.got_frame = true;
        if (l.out) {
            l.out->resize(size_t(channels) * count);
            for (uint32_t i = 0; i < count; ++i)
                for (uint32_t c = 0; c < channels; ++c)
                    (*l.out)[size_t(i) * channels + c] = buffer[c][i];
        }
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void metadata(FLAC__StreamDecoder const*, FLAC__StreamMetadata const* block, void* data)
    {
        Library& l = of(data);
        if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
            return;
        l.channels = block->data.stream_info.channels;
        l.bits = block->data.stream_info.bits_per_sample;
        l.rate = block->data.stream_info.sample_rate;
        l.total = block->data.stream_info.total_samples;
    }
    // A lost sync or a bad frame is passed over: the decoder goes on with the next frame.
    static void error(FLAC__StreamDecoder const*, FLAC__StreamDecoderErrorStatus, void*) { }
};

FlacDecoder::FlacDecoder(os::InStream& in)
    : library_(std::make_unique<Library>())
{
    library_->in = &in;
}

FlacDecoder::~FlacDecoder() = default;

bool FlacDecoder::open()
{
    Library& l = *library_;
    if (!l.in->is_open() || !l.in->seek(0))
        return false;
    l.decoder = FLAC__stream_decoder_new();
    if (!l.decoder
        || FLAC__stream_decoder_init_stream(l.decoder, &Library::read, &Library::seek, &Library::tell, &Library::length,
               &Library::eof, &Library::write, &Library::metadata, &Library::error, &l)
            != FLAC__STREAM_DECODER_INIT_STATUS_OK)
        return false;
    return FLAC__stream_decoder_process_until_end_of_metadata(l.decoder) && l.channels > 0 && l.rate > 0 && l.bits >= 4
        && l.bits <= 32;
}

uint32_t FlacDecoder::channels() const
{
    return library_->channels;
}

uint32_t FlacDecoder::bits() const
{
    return library_->bits;
}

uint32_t FlacDecoder::rate() const
{
    return library_->rate;
}

uint64_t FlacDecoder::total_samples() const
{
    return library_->total;
}

bool FlacDecoder::next(std::vector<int32_t>& samples, uint64_t& first_sample)
{
    Library& l = *library_;
    l.out = &samples;
    // Metadata met on the way (a second stream's) gives no frame: read on.
    for (int tries = 0; tries < 64; ++tries) {
        l.got_frame = false;
        if (!FLAC__stream_decoder_process_single(l.decoder))
            break;
        if (l.got_frame) {
            first_sample = l.first_sample;
            l.out = nullptr;
            return true;
        }
        FLAC__StreamDecoderState const state = FLAC__stream_decoder_get_state(l.decoder);
        if (state == FLAC__STREAM_DECODER_END_OF_STREAM || state == FLAC__STREAM_DECODER_ABORTED)
            break;
    }
    l.out = nullptr;
    samples.clear();
    return false;
}

bool FlacDecoder::seek(uint64_t sample, std::vector<int32_t>& samples)
{
    Library& l = *library_;
    l.out = &samples;
    samples.clear();
    bool const found = FLAC__stream_decoder_seek_absolute(l.decoder, sample);
    l.out = nullptr;
    if (found)
        return true;
    // The library's search needs the stream's length and whole frames to its end; a recording cut off has
    // neither, and is read from its start instead.
    if (!FLAC__stream_decoder_reset(l.decoder) || !FLAC__stream_decoder_process_until_end_of_metadata(l.decoder))
        return false;
    for (uint64_t first = 0; next(samples, first);) {
        uint64_t const count = samples.size() / l.channels;
        if (sample >= first && sample < first + count) {
            samples.erase(samples.begin(), samples.begin() + long((sample - first) * l.channels));
            return true;
        }
    }
    return false;
}

} // namespace audio
