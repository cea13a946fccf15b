#include "FileWriterMP3.h"

#include <core/Log.h>
#include <cstring>
#include <os/FileSystem.h>

namespace audio {

FileWriterMP3::FileWriterMP3(core::StringView path, bool append)
    : path_(path)
    , append_(append)
    , file_(std::make_unique<os::File>(path, append ? os::FileMode::ReadWrite : os::FileMode::Write))
    , staging_(std::make_unique<uint8_t[]>(STAGING_SIZE))
{
    if (append) {
        file_->seek(file_->size());
        total_ = file_->tell();
        start_ = total_;
    }
}

FileWriterMP3::~FileWriterMP3()
{
    core::Lock guard(lock());
    if (good_ && !write_staged())
        core::log() << "FileWriterMP3::~FileWriterMP3 error=" << platform::last_error() << "\n";
    fill_ = 0;
    if (!append_ && file_->is_open() && file_->size() == 0) {
        file_.reset();
        os::delete_file(path_);
    }
    file_.reset();
}

void FileWriterMP3::write_over_start(std::vector<uint8_t> const& bytes)
{
    core::Lock guard(lock());
    if (!good_ || bytes.empty() || total_ - start_ < bytes.size())
        return;
    uint32_t const size = static_cast<uint32_t>(bytes.size());
    good_ = write_staged();
    fill_ = 0;
    if (good_) {
        uint32_t const end = file_->tell();
        good_ = file_->seek(start_) && file_->write(bytes.data(), size) == size && file_->seek(end);
    }
    if (!good_)
        core::log() << "FileWriterMP3::write_over_start error=" << platform::last_error() << "\n";
}

bool FileWriterMP3::write_staged()
{
    return fill_ == 0 || file_->write(staging_.get(), fill_) == fill_;
}

void FileWriterMP3::on_data(AudioBuffer const& buffer)
{
    core::Lock guard(lock());
    if (!good_)
        return;
    uint32_t const length = static_cast<uint32_t>(buffer.length());
    total_ += length;
    if (fill_ + length > STAGING_SIZE) {
        good_ = write_staged();
        if (!good_) {
            core::log() << "FileWriterMP3::on_data1 error=" << platform::last_error() << "\n";
            return;
        }
        fill_ = 0;
    }
    if (length <= STAGING_SIZE) {
        std::memcpy(staging_.get() + fill_, buffer.data.data(), length);
        fill_ += length;
    } else {
        good_ = file_->write(buffer.data.data(), length) == length;
        if (!good_)
            core::log() << "FileWriterMP3::on_data2 error=" << platform::last_error() << "\n";
    }
}

bool FileWriterMP3::Status::is_good()
{
    core::Lock guard(owner_.lock());
    return owner_.good_ && owner_.file_ && owner_.file_->is_open();
}

uint32_t FileWriterMP3::Status::bytes_written()
{
    core::Lock guard(owner_.lock());
    return owner_.total_;
}

} // namespace audio
