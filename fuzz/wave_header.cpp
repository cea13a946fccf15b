// WaveHeader reading with its chunk search, then the readers' checks: no crash, no read outside the
// input, no allocation of what the input only claims.
#include "MemoryStream.h"

#include <audio/formats/WaveHeader.h>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    MemoryStream in(data, size);
    audio::WaveHeader header;
    if (!header.read(in))
        return 0;
    int const checks = header.passes_pcm_checks() + header.passes_adpcm_checks() + header.passes_gsm_checks();
    return (checks + static_cast<int>(header.coefficients.size() + header.data_start)) & 0;
}
