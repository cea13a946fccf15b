#pragma once

#include "VorbisComment.h"

#include <os/File.h>

namespace audio {

// The comments of an Ogg Opus, Ogg Vorbis or FLAC file; false when the file has none of these.
bool read_stream_comments(os::InStream& in, VorbisComment& comments);

// Gives an Ogg Opus or FLAC file's comments a new TITLE where they stand, taking the room from the
// padding after them (or giving it back), so that the audio stays where it is. False, the file unchanged,
// when it has no such comments or the new ones do not fit.
bool retitle_stream(os::File& file, core::StringView title);

} // namespace audio
