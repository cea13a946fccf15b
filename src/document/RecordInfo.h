#pragma once

#include <core/Strings.h>
#include <cstdint>

namespace document {

// The album of a recording made outside a call, and those of call recordings, which are also the
// sub-folders of the store that call recordings go to.
inline constexpr char16_t RECORD_ALBUM[] = u"Record";
inline constexpr char16_t INCOMING_ALBUM[] = u"Incoming";
inline constexpr char16_t OUTGOING_ALBUM[] = u"Outgoing";

// Everything known of the recording being made or played.
struct RecordInfo {
    core::String path;
    core::String artist; // the prefix: caller name, caller number or "Record"
    core::String title; // date and time text
    core::String album; // "Record", "Incoming" or "Outgoing"
    core::String extension; // the format name: "mp3" for a new recording, the reader's for a played file
    int32_t channels = 0;
    int32_t sample_rate = 0;
    int32_t bits_per_sample = 0;
    int32_t bit_rate = 0;
    int64_t length = 0; // in the reader's units; 0 for a new recording
};

} // namespace document
