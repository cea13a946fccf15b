#pragma once

#include <core/Strings.h>
#include <cstdint>
#include <functional>
#include <vector>

namespace audio {

// The peaks of a whole recording, for its waveform: PEAK_COUNT values (0 to 255, linear, full scale 255),
// each the loudest sample of its share of the recording, decoded through the file's reader. (An MPEG
// stream's global gains were tried as a shortcut and do not follow loudness: LAME keeps them nearly level
// from quiet to loud tones and puts the loudness into the quantised values.)
//
// Threads: any; a scan runs on the thread that calls `scan_peaks`, a long recording's second half on a
// thread of its own that the call starts and joins.
inline constexpr int32_t PEAK_COUNT = 2000;

// Told of progress: the peaks (PEAK_COUNT of them) and how many from the start are known. Answers false
// to stop the scan.
using PeakSink = std::function<bool(std::vector<uint8_t> const& peaks, int32_t known)>;

// False when no reader takes the file, or the sink stopped the scan; the sink hears the finished peaks
// (known PEAK_COUNT) before a true result.
bool scan_peaks(core::StringView path, PeakSink const& sink);
} // namespace audio
