#include "Mp3Writer.h"

namespace audio {

Mp3Writer::Mp3Writer(core::StringView path, int32_t bit_rate, bool append)
    : file_writer_(std::make_unique<FileWriterMP3>(path, append))
    , encoder_(std::make_unique<Mp3Encoder>(bit_rate))
{
    connect(*encoder_, file_writer_.get());
}

Mp3Writer::~Mp3Writer()
{
    // The encoder's last bytes reach the file first; then its summary takes the place it kept for it.
    file_writer_->write_over_start(encoder_->summary_frame());
    encoder_.reset();
    file_writer_.reset();
}

bool Mp3Writer::link_mp3(AudioProducer& port)
{
    connect(port, file_writer_.get());
    return true;
}

} // namespace audio
