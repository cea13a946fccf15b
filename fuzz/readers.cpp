// The reader factory on arbitrary bytes, then the chosen reader pulled to its end through its decoder
// filter, a seek, and the pulls again: no crash, no read outside a buffer, no allocation of a size the
// input only claims, and every stream ends.
#include "MemoryStream.h"

#include <audio/readers/FileReader.h>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    auto reader = audio::create_reader([&] { return std::make_unique<MemoryStream>(data, size); }, u"/fuzz/input");
    if (!reader)
        return 0;
    audio::ReaderInfo& info = reader->info();
    size_t frames = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int pulls = 0; pulls < 2000; ++pulls) {
            audio::AudioBuffer const buffer = reader->source().get_data(pass == 0 ? 16384 : 1000);
            if (buffer.empty())
                break;
            frames += buffer.frames();
        }
        info.seek(info.length() / 3);
    }
    double const facts = info.duration() + info.position_seconds() + info.bit_rate() + info.channels()
        + info.samples_per_second() + info.at_end() + reader->title().size();
    return static_cast<int>(frames + static_cast<size_t>(facts != facts)) & 0;
}
