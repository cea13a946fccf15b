#include "PeakScan.h"

#include "FileReader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <platform/riff.h>

namespace audio {

namespace {

// Pulls of this many sample frames; progress is told every REPORT_EVERY pulls.
constexpr int32_t PULL_FRAMES = 16384;
constexpr int32_t REPORT_EVERY = 16;

// Where the peaks go: the bucket of each sample frame from its place in the recording's expected
// length (a stream that runs longer than its header said piles its tail into the last bucket).
class Buckets {
public:
    explicit Buckets(double total_frames)
        : total_(std::max(total_frames, 1.0))
        , peaks_(PEAK_COUNT, 0)
    {
    }
    // A PCM buffer: each bucket it reaches takes the loudest sample of its own part of the buffer.
    void add(AudioBuffer const& buffer)
    {
        int32_t const frame_size = buffer.format.frame_size();
        bool const eight = buffer.format.bits_per_sample == 8;
        int32_t const bytes = eight ? 1 : 2;
        size_t const frames = buffer.frames();
        uint8_t const* p = buffer.data.data();
        size_t done = 0;
        while (done < frames) {
            int32_t const b = bucket(at_);
            // The frames up to the next bucket's first, or the buffer's end.
            auto const next = static_cast<int64_t>(std::ceil(double(b + 1) * total_ / PEAK_COUNT));
            size_t const take = b == PEAK_COUNT - 1
                ? frames - done
                : std::min(frames - done, static_cast<size_t>(std::max<int64_t>(next - at_, 1)));
            int32_t peak = 0;
            uint8_t const* q = p + done * static_cast<size_t>(frame_size);
            for (size_t i = 0; i < take * static_cast<size_t>(frame_size); i += static_cast<size_t>(bytes))
                peak = std::max(
                    peak, eight ? std::abs(int32_t(q[i]) - 128) * 256 : std::abs(int32_t(platform::riff::s16(q + i))));
            auto const level = static_cast<uint8_t>(std::lround(std::min(peak, 32768) * 255.0 / 32768.0));
            uint8_t& slot = peaks_[static_cast<size_t>(b)];
            slot = std::max(slot, level);
            done += take;
            at_ += static_cast<int64_t>(take);
        }
    }
    // Buckets whose stretch lies wholly behind the position.
    int32_t known() const { return std::clamp(bucket(at_), 0, PEAK_COUNT); }
    std::vector<uint8_t> const& peaks() const { return peaks_; }

private:
    int32_t bucket(int64_t frame) const
    {
        double const b = std::floor(double(frame) * PEAK_COUNT / total_);
        return static_cast<int32_t>(std::clamp(b, 0.0, double(PEAK_COUNT - 1)));
    }

    double total_;
    int64_t at_ = 0;
    std::vector<uint8_t> peaks_;
};

bool finish(Buckets const& buckets, PeakSink const& sink)
{
    return sink(buckets.peaks(), PEAK_COUNT);
}

bool decode(FileReader& reader, PeakSink const& sink)
{
    AudioProducer& source = reader.source();
    Buckets buckets(reader.info().duration() * reader.info().samples_per_second());
    for (int32_t pulls = 1;; ++pulls) {
        AudioBuffer const buffer = source.get_data(PULL_FRAMES);
        if (buffer.empty() || buffer.format.frame_size() <= 0)
            break;
        buckets.add(buffer);
        if (pulls % REPORT_EVERY == 0 && !sink(buckets.peaks(), buckets.known()))
            return false;
    }
    return finish(buckets, sink);
}

} // namespace

bool scan_peaks(core::StringView path, PeakSink const& sink)
{
    std::unique_ptr<FileReader> reader = create_reader(path);
    if (!reader)
        return false;
    return decode(*reader, sink);
}

} // namespace audio
