#include "PeakScan.h"

#include "FileReader.h"

#include <algorithm>
#include <cmath>
#include <core/Thread.h>
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
    int64_t at() const { return at_; }
    // The next buffer's first frame is this one of the recording.
    void start_at(int64_t frame) { at_ = frame; }
    // Each bucket the louder of both.
    void merge(Buckets const& other)
    {
        for (size_t i = 0; i < peaks_.size(); ++i)
            peaks_[i] = std::max(peaks_[i], other.peaks_[i]);
    }

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

// A recording at least this long has its second half decoded on a thread of its own: with two cores the
// first opening of an hour's MP3 takes about half the time.
constexpr double SPLIT_SECONDS = 2.0;

// The second half: its own reader, sought to the middle on the caller's thread, pulled on this one.
class SecondHalf final : public core::Thread {
public:
    SecondHalf(std::unique_ptr<FileReader> reader, double total_frames)
        : reader_(std::move(reader))
        , buckets_(total_frames)
    {
        first_ = std::llround(reader_->info().position_seconds() * reader_->info().samples_per_second());
        buckets_.start_at(first_);
    }
    // A scan the sink stopped stops this half too.
    ~SecondHalf() override
    {
        request_stop();
        join();
    }

    int64_t first_frame() const { return first_; }
    // After join.
    Buckets const& buckets() const { return buckets_; }

protected:
    void run() override
    {
        AudioProducer& source = reader_->source();
        while (!stop_requested()) {
            AudioBuffer const buffer = source.get_data(PULL_FRAMES);
            if (buffer.empty() || buffer.format.frame_size() <= 0)
                break;
            buckets_.add(buffer);
        }
    }

private:
    std::unique_ptr<FileReader> reader_;
    Buckets buckets_;
    int64_t first_ = 0;
};

// The second half, started, where the recording is long enough and a second reader seeks into it.
std::unique_ptr<SecondHalf> start_second_half(core::StringView path, ReaderInfo& info, double total_frames)
{
    if (info.duration() < SPLIT_SECONDS)
        return nullptr;
    std::unique_ptr<FileReader> reader = create_reader(path);
    if (!reader || !reader->info().seek_seconds(info.duration() / 2) || reader->info().position_seconds() <= 0)
        return nullptr;
    auto half = std::make_unique<SecondHalf>(std::move(reader), total_frames);
    if (!half->start())
        return nullptr;
    return half;
}

bool decode(FileReader& reader, core::StringView path, PeakSink const& sink)
{
    AudioProducer& source = reader.source();
    double const total = reader.info().duration() * reader.info().samples_per_second();
    Buckets buckets(total);
    std::unique_ptr<SecondHalf> half = start_second_half(path, reader.info(), total);
    // The first half ends where the second begins.
    auto const end = [&] { return half ? half->first_frame() : INT64_MAX; };
    for (int32_t pulls = 1; buckets.at() < end(); ++pulls) {
        AudioBuffer const buffer = source.get_data(PULL_FRAMES);
        if (buffer.empty() || buffer.format.frame_size() <= 0)
            break;
        buckets.add(buffer);
        if (pulls % REPORT_EVERY == 0 && !sink(buckets.peaks(), buckets.known()))
            return false;
    }
    if (half) {
        half->join();
        buckets.merge(half->buckets());
    }
    return sink(buckets.peaks(), PEAK_COUNT);
}

} // namespace

bool scan_peaks(core::StringView path, PeakSink const& sink)
{
    std::unique_ptr<FileReader> reader = create_reader(path);
    if (!reader)
        return false;
    return decode(*reader, path, sink);
}

} // namespace audio
