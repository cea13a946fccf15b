#pragma once

#include <core/Strings.h>
#include <cstdint>

namespace os {
class InStream;
}

// How long a recording lasts, from what its headers say, without decoding a sample: a WAV file's data
// size (or its fact chunk's sample count), an MPEG audio file's Xing/Info or VBRI frame count, or, for a
// stream without one, its frame headers (one bit rate throughout: the size's arithmetic; several: the
// frames counted by hopping from header to header), a FLAC file's STREAMINFO sample count, or an Ogg
// Opus or Vorbis stream's last granule position, a Musepack stream's header.
// Threads: any.
namespace audio {

inline constexpr int64_t UNKNOWN_DURATION = -1;

// Milliseconds, or UNKNOWN_DURATION for a file that is neither, is damaged past its first header, or
// cannot be read.
int64_t probe_duration_ms(core::StringView path);
int64_t probe_duration_ms(os::InStream& in);

} // namespace audio
