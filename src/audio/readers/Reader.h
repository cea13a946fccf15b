#pragma once

#include "ReaderInfo.h"

#include <audio/AudioProducer.h>
#include <core/CriticalSection.h>
#include <memory>
#include <os/File.h>

namespace audio {

// Base of the six readers: the producer of the file's data (PCM, or coded blocks and frames that a
// decoder filter turns into PCM) with its information side, the stream it reads, one lock for both, and
// the status.
//
// Threads: as ReaderInfo; get_data on the pulling thread under the reader's lock.
class Reader : public AudioProducer, public ReaderInfo, private ReaderStatus {
public:
    static constexpr int32_t RENDER_PIECE = 5000;

    // The lock is not held while the consumer takes a piece, so a consumer that pulls from elsewhere
    // under its own lock cannot meet this lock the other way round.
    bool render(int32_t frames) override;
    ReaderStatus& status() override { return *this; }

    bool is_valid() override;
    // What the decoders hand out; a reader of the file's own samples says otherwise.
    int32_t bits_per_sample() override;

protected:
    explicit Reader(std::unique_ptr<os::InStream> in);

    core::CriticalSection& lock() { return lock_; }
    // Sample frames that a buffer of this reader's data stands for.
    virtual int64_t frames_in(AudioBuffer const& buffer);

    std::unique_ptr<os::InStream> const in_;
    // Under the lock.
    bool valid_ = false;
    bool good_ = true;
    uint64_t bytes_read_ = 0;

private:
    bool is_good() override;
    uint64_t bytes_read() override;

    core::CriticalSection lock_;
};

} // namespace audio
