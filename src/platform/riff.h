#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Little-endian numbers, the chunks of a RIFF/WAVE file and the samples of its PCM and float codings: one
// reading of such files for every part that reads them (the WAV header reader and the file microphone),
// so that they cannot walk a file differently. Every length is checked against the bytes the file holds
// before anything of it is used, and a refusal names the chunk, its byte offset and what is wrong. The
// number readers and writers serve every little-endian field and 16-bit sample of the program.
namespace platform::riff {

constexpr uint16_t TAG_PCM = 1;
constexpr uint16_t TAG_FLOAT = 3;
constexpr uint16_t TAG_ALAW = 6; // G.711, as telephone systems and their call recorders write it
constexpr uint16_t TAG_MULAW = 7;
constexpr uint16_t TAG_EXTENSIBLE = 0xFFFE;

// What ChunkWalker::start says of a file that is not RIFF/WAVE at all.
constexpr char NOT_RIFF_WAVE[] = "not a RIFF WAVE file";

inline uint16_t u16(uint8_t const* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t u32(uint8_t const* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16)
        | (static_cast<uint32_t>(p[3]) << 24);
}

// Big-endian, as MPEG and FLAC headers keep their numbers.
inline uint32_t u32_be(uint8_t const* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16)
        | (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline int16_t s16(uint8_t const* p)
{
    return static_cast<int16_t>(u16(p));
}

inline void put_u16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void put_s16(uint8_t* p, int16_t value)
{
    put_u16(p, static_cast<uint16_t>(value));
}

inline void put_u32(uint8_t* p, uint32_t value)
{
    put_u16(p, static_cast<uint16_t>(value & 0xFFFF));
    put_u16(p + 2, static_cast<uint16_t>(value >> 16));
}

// Random access to a file's bytes.
class ByteSource {
public:
    virtual uint64_t size() = 0;
    // Exactly `count` bytes at `offset`, or false.
    virtual bool read_at(uint64_t offset, void* out, size_t count) = 0;

protected:
    ~ByteSource() = default;
};

struct Chunk {
    char id[4] = {};
    uint32_t size = 0; // as the chunk says, without the pad byte
    uint64_t offset = 0; // of its identifier

    uint64_t body() const { return offset + 8; }
    // RIFF pads a chunk of odd size with one byte that its size does not count.
    uint64_t next() const { return body() + size + (size & 1); }
    bool is(char const* four) const;
    // The identifier with anything unprintable as '?', for messages.
    std::string name() const;
};

// The chunks of a RIFF/WAVE file, in file order.
class ChunkWalker {
public:
    explicit ChunkWalker(ByteSource& source);

    // Checks the RIFF and WAVE identifiers; false with error().
    bool start();
    // The next chunk whose identifier and size lie within the file. False at the end of the chunks; then
    // error() says so when the file ended inside a chunk the walk had to step over.
    bool next(Chunk& chunk);
    // The bytes of the chunk's body that the file holds: no more than it says, nor than there are.
    uint64_t available(Chunk const& chunk) const;
    uint64_t file_size() const { return size_; }

    // Sets error() to "chunk 'ID' at byte N: " + why, and answers false.
    bool refuse(Chunk const& chunk, std::string const& why);
    std::string const& error() const { return error_; }

private:
    ByteSource& source_;
    uint64_t size_ = 0;
    uint64_t position_ = 12;
    Chunk last_;
    bool have_last_ = false;
    std::string error_;
};

// The fields of a "fmt " chunk that the PCM and float codings need. For WAVE_FORMAT_EXTENSIBLE, `coding`
// is its sub-format's tag; otherwise it is the tag.
struct Format {
    uint16_t tag = 0;
    uint16_t coding = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint32_t avg_bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits = 0;
    uint16_t valid_bits = 0; // extensible only
    uint32_t channel_mask = 0; // extensible only; 0 when not given
};

// Reads a "fmt " chunk's body (`count` bytes of it in `body`); false with `why` when it is too short or
// its extensible sub-format is not a WAVE coding.
bool parse_format(uint8_t const* body, size_t count, Format& format, std::string& why);

// Whether frames of this format can be turned into 16-bit samples by `sample16`: PCM of 8, 16, 24 or 32
// bits, float of 32 or 64 bits, or A-law or mu-law of 8 bits, with a block align of whole samples. Otherwise `why` says
// what is not.
bool samples_supported(Format const& format, std::string& why);

// One sample on the 16-bit scale, rounded to nearest and clamped (float beyond full scale is clipped,
// and what is not a number is silence).
int32_t sample16(uint8_t const* p, Format const& format);

// Left and right from the frame's channels: the speakers on the left side (by the channel mask, or the
// usual order front left, front right, centre, LFE, back left, back right... when there is none) go
// left, those on the right go right, the others to both at half weight; each side is the weighted mean,
// so a mix can never clip. Mono and stereo frames stay as they are.
void mix_to_stereo(int32_t const* in, unsigned channels, uint32_t channel_mask, int32_t out[2]);

} // namespace platform::riff
