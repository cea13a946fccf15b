// The MP3 reader's frame scanner on arbitrary bytes: the first frame confirmed by a second header, the
// bit rate from sample points spread over the input, the frames handed out one pull after another, and
// seeks to places the input chooses, each followed by finding the stream again.
#include "MemoryStream.h"

#include <audio/readers/FileReaderMP3.h>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    audio::FileReaderMP3 reader(std::make_unique<MemoryStream>(data, size));
    if (!reader.is_valid())
        return 0;
    size_t bytes = 0;
    for (size_t i = 0; i < 4; ++i) {
        for (int pulls = 0; pulls < 1000; ++pulls) {
            audio::AudioBuffer const frames = reader.get_data(i % 2 ? 1 : 16384);
            if (frames.empty())
                break;
            bytes += frames.length();
        }
        uint32_t const target = size > i ? uint32_t(data[i]) << (8 * (i % 3)) : 0;
        reader.seek(target);
    }
    return static_cast<int>(bytes + size_t(reader.bit_rate()) + size_t(reader.at_end())) & 0;
}
