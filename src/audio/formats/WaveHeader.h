#pragma once

#include <audio/AudioFormat.h>

#include <array>
#include <cstdint>
#include <os/File.h>
#include <platform/riff.h>
#include <string>
#include <vector>

namespace audio {

// The header of a RIFF/WAVE file in PCM, Microsoft ADPCM or GSM 6.10 coding: what the WAV writers keep
// and the WAV readers read. A header read from a file remembers where its size fields stand, so that a
// file whose chunks are not laid out canonically can be continued without moving anything. Reading also
// takes the float, A-law, mu-law and IMA ADPCM codings and WAVE_FORMAT_EXTENSIBLE that other programs
// write; writing is PCM, ADPCM and GSM only.
struct WaveHeader {
    static constexpr uint16_t TAG_PCM = 1;
    static constexpr uint16_t TAG_ADPCM = 2;
    static constexpr uint16_t TAG_GSM = 49;
    static constexpr uint16_t TAG_IMA_ADPCM = 17;
    static constexpr uint16_t TAG_FLOAT = platform::riff::TAG_FLOAT;
    static constexpr uint16_t TAG_ALAW = platform::riff::TAG_ALAW;
    static constexpr uint16_t TAG_MULAW = platform::riff::TAG_MULAW;
    static constexpr uint16_t TAG_EXTENSIBLE = platform::riff::TAG_EXTENSIBLE;

    static constexpr uint32_t PCM_HEADER_SIZE = 44;
    static constexpr uint32_t ADPCM_HEADER_SIZE = 90;
    static constexpr uint32_t GSM_HEADER_SIZE = 60;

    static constexpr int ADPCM_COEFFICIENT_COUNT = 7;
    static constexpr std::array<std::array<int16_t, 2>, ADPCM_COEFFICIENT_COUNT> ADPCM_COEFFICIENTS { {
        { 256, 0 },
        { 512, -256 },
        { 0, 0 },
        { 192, 64 },
        { 240, 0 },
        { 460, -208 },
        { 392, -232 },
    } };
    // How a nibble scales the ADPCM step (in 256ths), for the encoder and the decoder alike.
    static constexpr std::array<int32_t, 16> ADPCM_ADAPTATION { 230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512,
        409, 307, 230, 230, 230 };
    static constexpr uint16_t GSM_SAMPLES_PER_BLOCK = 320;
    static constexpr uint16_t GSM_BLOCK_ALIGN = 65;

    uint16_t format_tag = TAG_PCM;
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t avg_bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t riff_size = 0;
    uint32_t fmt_size = 16;
    uint32_t data_size = 0;
    uint32_t data_start = PCM_HEADER_SIZE;
    // ADPCM, IMA ADPCM and GSM.
    uint16_t samples_per_block = 0;
    uint32_t fact_samples = 0;
    // ADPCM: the pairs the file declares (at most what its fmt chunk holds).
    uint16_t coefficient_count = 0;
    std::vector<std::array<int16_t, 2>> coefficients;

    // WAVE_FORMAT_EXTENSIBLE: the sub-format's tag, the bits that carry the sample, the speakers.
    uint16_t sub_format = 0;
    uint16_t valid_bits = 0;
    uint32_t channel_mask = 0;

    // Where the fact chunk's sample count stands in a file that was read (0: there is none).
    uint32_t fact_offset = 0;
    // Where the fmt chunk stands in a file that was read, for messages.
    uint32_t fmt_offset = 12;

    // New headers, with no data yet.
    static WaveHeader pcm(AudioFormat const& format);
    // `block_align` 0 derives it from the rate.
    static WaveHeader adpcm(int32_t channels, int32_t samples_per_second, uint16_t block_align = 0);
    static WaveHeader gsm();

    // The ADPCM block size that the encoder uses at this rate, and the samples such a block holds.
    static uint16_t adpcm_block_align(int32_t channels, int32_t samples_per_second);
    static uint16_t adpcm_samples_per_block(uint16_t block_align, int32_t channels);
    // The frames an IMA ADPCM block holds: its header's sample and 8 per 4-byte word of each channel.
    static uint32_t ima_samples_per_block(uint16_t block_align, int32_t channels);

    AudioFormat format() const { return { channels, bits_per_sample, static_cast<int32_t>(samples_per_second) }; }
    // The format tag, or for WAVE_FORMAT_EXTENSIBLE its sub-format's.
    uint16_t coding() const;
    platform::riff::Format sample_format() const;

    // Reads the RIFF header, the fmt chunk with its coding's extension, an optional fact chunk and the
    // position of the data chunk, from the start of `in`, stepping over other chunks and their pad bytes.
    // Every length is checked against the stream. A failure says in `why` which chunk, where, and why.
    bool read(os::InStream& in, std::string* why = nullptr);
    // Writes the canonical header (the layout of a new file) at the stream's position.
    bool write(os::OutStream& out) const;
    // Writes the RIFF size, the data size and the fact sample count where a read found them.
    bool update_sizes(os::OutStream& out) const;
    // The size of the canonical header of this coding: where a new file's data starts.
    uint32_t canonical_size() const;

    // The readers' acceptance rules for each coding. The PCM reader takes integer PCM of 8 to 32 bits
    // and float, of any number of channels.
    bool passes_pcm_checks() const;
    bool passes_adpcm_checks() const;
    bool passes_gsm_checks() const;
    bool passes_ima_checks() const;
    // What a check finds wrong; empty when it passes.
    std::string pcm_problem() const;
    std::string adpcm_problem() const;
    std::string gsm_problem() const;
    std::string ima_problem() const;
    // Why no WAV reader takes this header ("chunk 'fmt ' at byte 12: ..."), or empty.
    std::string refusal() const;
    // PCM data that the player cannot take as it is: not 8- or 16-bit integers, or more than two channels.
    bool needs_conversion() const;

private:
    bool read_chunks(os::InStream& in, std::string& why);
    bool read_fmt(std::vector<uint8_t> const& body, std::string& why);
};

} // namespace audio
