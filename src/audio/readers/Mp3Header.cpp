#include "Mp3Header.h"

#include <cstring>

namespace audio {

namespace {

// Kilobits per second by bit-rate index: MPEG-1 layers I, II, III; MPEG-2 and 2.5 layer I; layers II and III.
constexpr int BIT_RATES[5][16] = {
    { 0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0 },
    { 0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0 },
    { 0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0 },
    { 0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0 },
    { 0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0 },
};

constexpr int32_t SAMPLE_RATES[3][3] = {
    { 44100, 48000, 32000 }, // MPEG-1
    { 22050, 24000, 16000 }, // MPEG-2
    { 11025, 12000, 8000 }, // MPEG-2.5
};

constexpr int MONO = 3;
constexpr int RESERVED_EMPHASIS = 2;

// Layer II of MPEG-1 allows only some bit rates in each mode.
bool layer2_mode_allowed(int kilobits, int mode)
{
    if (mode == MONO)
        return kilobits <= 192;
    return kilobits != 32 && kilobits != 48 && kilobits != 56 && kilobits != 80;
}

} // namespace

bool Mp3Header::parse(uint8_t const* b, Mp3Header& h)
{
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return false;
    int const version_bits = (b[1] >> 3) & 3;
    int const layer_bits = (b[1] >> 1) & 3;
    int const rate_index = b[2] >> 4;
    int const frequency_index = (b[2] >> 2) & 3;
    int const mode = b[3] >> 6;
    if (version_bits == 1 || layer_bits == 0 || rate_index == 0 || rate_index == 15 || frequency_index == 3
        || (b[3] & 3) == RESERVED_EMPHASIS)
        return false;

    Mp3Header r;
    r.version = version_bits == 3 ? MPEG1 : version_bits == 2 ? MPEG2 : MPEG25;
    r.layer = 4 - layer_bits;
    int const table = r.version == MPEG1 ? r.layer - 1 : r.layer == 1 ? 3 : 4;
    r.kilobits_per_second = BIT_RATES[table][rate_index];
    r.samples_per_second = SAMPLE_RATES[r.version == MPEG1 ? 0 : r.version == MPEG2 ? 1 : 2][frequency_index];
    r.channels = mode == MONO ? 1 : 2;
    r.padding = (b[2] >> 1) & 1;
    if (r.version == MPEG1 && r.layer == 2 && !layer2_mode_allowed(r.kilobits_per_second, mode))
        return false;

    uint32_t const kilobits = static_cast<uint32_t>(r.kilobits_per_second);
    uint32_t const rate = static_cast<uint32_t>(r.samples_per_second);
    uint32_t const padding = static_cast<uint32_t>(r.padding);
    if (r.layer == 1) {
        r.frame_length = (12000 * kilobits / rate + padding) * 4;
        r.samples_per_frame = 384;
    } else if (r.layer == 2 || r.version == MPEG1) {
        r.frame_length = 144000 * kilobits / rate + padding;
        r.samples_per_frame = 1152;
    } else {
        r.frame_length = 72000 * kilobits / rate + padding;
        r.samples_per_frame = 576;
    }
    h = r;
    return true;
}

bool Mp3Header::matches(Mp3Header const& other) const
{
    return version == other.version && layer == other.layer && channels == other.channels
        && samples_per_second == other.samples_per_second && samples_per_frame == other.samples_per_frame;
}

uint32_t Mp3Header::info_at(uint8_t const* frame, uint32_t size) const
{
    bool const mono = channels == 1;
    uint32_t const side = version == MPEG1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    uint32_t const xing = 4 + side;
    if (xing + 12 <= size && (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0))
        return xing;
    uint32_t const vbri = 4 + 32;
    if (vbri + 18 <= size && std::memcmp(frame + vbri, "VBRI", 4) == 0)
        return vbri;
    return 0;
}

} // namespace audio
