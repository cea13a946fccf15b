#pragma once

#include "ReaderInfo.h"

#include <audio/AudioProducer.h>
#include <core/CriticalSection.h>

namespace audio {

// Base of the six readers: the producer of the file's data (PCM, or coded blocks and frames that a
// decoder filter turns into PCM) with its information side, one lock for both, and the status.
//
// Threads: as ReaderInfo; get_data on the pulling thread under the reader's lock.
class Reader : public AudioProducer, public ReaderInfo, private ReaderStatus {
public:
    static constexpr int32_t RENDER_PIECE = 5000;

    // The lock is not held while the consumer takes a piece, so a consumer that pulls from elsewhere
    // under its own lock cannot meet this lock the other way round.
    bool render(int32_t frames) override;
    ReaderStatus& status() override { return *this; }

protected:
    core::CriticalSection& lock() { return lock_; }
    // Sample frames that a buffer of this reader's data stands for.
    virtual int64_t frames_in(AudioBuffer const& buffer);

    // Under the lock.
    bool good_ = true;
    uint64_t bytes_read_ = 0;

private:
    bool is_good() override;
    uint64_t bytes_read() override;

    core::CriticalSection lock_;
};

} // namespace audio
