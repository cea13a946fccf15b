#include "FileReaderMP3.h"

#include <algorithm>
#include <core/Log.h>
#include <cstring>
#include <platform/filesystem.h>
#include <vector>

namespace audio {

namespace {

// Sample frames one get_data hands out at most, whatever it is asked for.
constexpr int64_t MAX_PIECE_FRAMES = 1 << 16;

} // namespace

FileReaderMP3::FileReaderMP3(std::unique_ptr<os::InStream> in)
    : Reader(std::move(in))
{
    if (!in_ || !in_->is_open())
        return;
    file_size_ = in_->size();
    if (file_size_ == 0)
        return;
    move_to(0);
    Mp3Header first;
    if (!find_frame(true, first))
        return;
    first_ = first;
    first_offset_ = file_position();
    valid_ = true;
    // An encoder's Xing/Info frame may have a lower bit rate than its stream, which made a short file
    // last a sixth longer: the rate is the first sound frame's.
    Mp3Header sound = first;
    if (ensure(first.frame_length) && first.info_at(buffer_.data() + read_position_, first.frame_length) != 0) {
        read_position_ += first.frame_length;
        if (Mp3Header next; next_frame(next))
            sound = next;
    }
    kilobits_per_second_ = average_bit_rate(sound.kilobits_per_second);
    move_to(0);
}

bool FileReaderMP3::read_more()
{
    uint32_t const tail = fill_ - read_position_;
    std::memmove(buffer_.data(), buffer_.data() + read_position_, tail);
    buffer_start_ += read_position_;
    read_position_ = 0;
    fill_ = tail;
    uint32_t const file_position = buffer_start_ + fill_;
    uint32_t const want = file_position < file_size_ ? std::min(BUFFER_SIZE - tail, file_size_ - file_position) : 0;
    if (want == 0)
        return true;
    uint32_t const got = in_->read(buffer_.data() + fill_, want);
    bytes_read_ += got;
    fill_ += got;
    if (got < want) {
        core::log() << "FileReaderMP3::read_more error=" << platform::last_error() << "\n";
        good_ = false;
        return false;
    }
    return true;
}

bool FileReaderMP3::ensure(uint32_t count)
{
    if (fill_ - read_position_ >= count)
        return true;
    if (!good_ || buffer_start_ + fill_ >= file_size_ || !read_more())
        return false;
    return fill_ - read_position_ >= count;
}

void FileReaderMP3::move_to(uint32_t position)
{
    position = std::min(position, file_size_);
    if (!in_->seek(position)) {
        good_ = false;
        return;
    }
    buffer_start_ = position;
    fill_ = 0;
    read_position_ = 0;
    exhausted_ = false;
}

bool FileReaderMP3::confirmed(Mp3Header const& header)
{
    uint32_t const length = header.frame_length;
    if (ensure(length + 4)) {
        Mp3Header next;
        return Mp3Header::parse(buffer_.data() + read_position_ + length, next) && next.matches(header);
    }
    // Once the stream is known, its last frame has nothing after it (or only the ID3v1 tag) to confirm it.
    if (!valid_ || !ensure(length))
        return false;
    uint32_t const left = fill_ - read_position_ - length;
    return left < 4 || std::memcmp(buffer_.data() + read_position_ + length, "TAG", 3) == 0;
}

bool FileReaderMP3::find_frame(bool confirm, Mp3Header& found)
{
    for (;;) {
        if (read_position_ > REFILL_AT && !read_more())
            return false;
        if (!ensure(4))
            return false;
        Mp3Header header;
        if (Mp3Header::parse(buffer_.data() + read_position_, header) && (!valid_ || header.matches(first_))
            && (!confirm || confirmed(header))) {
            found = header;
            return true;
        }
        ++read_position_;
    }
}

bool FileReaderMP3::next_frame(Mp3Header& header)
{
    if (read_position_ > REFILL_AT && !read_more())
        return false;
    Mp3Header h;
    if (ensure(4) && Mp3Header::parse(buffer_.data() + read_position_, h) && h.matches(first_)
        && ensure(h.frame_length)) {
        header = h;
        return true;
    }
    return good_ && find_frame(true, header) && ensure(header.frame_length);
}

int FileReaderMP3::average_bit_rate(int first_kilobits)
{
    int const points = static_cast<int>(std::min<uint32_t>(file_size_ / BYTES_PER_SAMPLE_POINT, MAX_SAMPLE_POINTS));
    if (points < 2)
        return first_kilobits;
    int64_t sum = first_kilobits;
    int64_t count = 1;
    for (int i = 1; i < points; ++i) {
        move_to(static_cast<uint32_t>(uint64_t(file_size_) * uint64_t(i) / uint64_t(points)));
        Mp3Header header;
        if (find_frame(false, header)) {
            sum += header.kilobits_per_second;
            ++count;
        }
    }
    return static_cast<int>((sum + count / 2) / count);
}

AudioBuffer FileReaderMP3::get_data(int32_t frames)
{
    core::Lock guard(lock());
    if (!valid_ || !good_ || exhausted_ || frames <= 0)
        return {};
    int64_t const wanted = std::min<int64_t>(frames, MAX_PIECE_FRAMES);
    std::vector<uint8_t> out;
    int64_t samples = 0;
    while (samples < wanted) {
        Mp3Header header;
        if (!next_frame(header)) {
            exhausted_ = true;
            break;
        }
        uint8_t const* frame = buffer_.data() + read_position_;
        out.insert(out.end(), frame, frame + header.frame_length);
        read_position_ += header.frame_length;
        samples += header.samples_per_frame;
    }
    if (out.empty())
        return {};
    return AudioBuffer(core::SharedBuffer(out.size(), out.data()), { first_.channels, 0, first_.samples_per_second });
}

int64_t FileReaderMP3::frames_in(AudioBuffer const& buffer)
{
    int64_t frames = 0;
    size_t at = 0;
    Mp3Header header;
    while (at + 4 <= buffer.length() && Mp3Header::parse(buffer.data.data() + at, header)) {
        frames += header.samples_per_frame;
        at += header.frame_length;
    }
    return frames;
}

bool FileReaderMP3::at_end()
{
    core::Lock guard(lock());
    return !valid_ || !good_ || exhausted_ || file_position() + 4 >= file_size_;
}

int32_t FileReaderMP3::channels()
{
    core::Lock guard(lock());
    return first_.channels;
}

int32_t FileReaderMP3::samples_per_second()
{
    core::Lock guard(lock());
    return first_.samples_per_second;
}

int32_t FileReaderMP3::bit_rate()
{
    core::Lock guard(lock());
    return kilobits_per_second_ * 1000;
}

int64_t FileReaderMP3::seconds_to_units(double seconds)
{
    core::Lock guard(lock());
    return static_cast<int64_t>(double(kilobits_per_second_) * 125 * std::max(seconds, 0.0));
}

double FileReaderMP3::units_to_seconds(int64_t units)
{
    core::Lock guard(lock());
    if (kilobits_per_second_ <= 0)
        return 0.0;
    return double(units) * 8 / kilobits_per_second_ / 1000;
}

int64_t FileReaderMP3::length()
{
    core::Lock guard(lock());
    return valid_ ? file_size_ : 0;
}

int64_t FileReaderMP3::position()
{
    core::Lock guard(lock());
    return file_position();
}

bool FileReaderMP3::seek(int64_t units)
{
    core::Lock guard(lock());
    if (!valid_)
        return false;
    move_to(static_cast<uint32_t>(std::clamp<int64_t>(units, 0, file_size_)));
    return good_;
}

Mp3Header FileReaderMP3::first_header()
{
    core::Lock guard(lock());
    return first_;
}

uint32_t FileReaderMP3::first_frame_offset()
{
    core::Lock guard(lock());
    return first_offset_;
}

} // namespace audio
