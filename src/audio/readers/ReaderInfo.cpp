#include "ReaderInfo.h"

namespace audio {

ReaderStatus::~ReaderStatus() = default;
ReaderInfo::~ReaderInfo() = default;

double ReaderInfo::duration()
{
    return units_to_seconds(length());
}

double ReaderInfo::position_seconds()
{
    return units_to_seconds(position());
}

bool ReaderInfo::seek_seconds(double seconds)
{
    return seek(seconds_to_units(seconds));
}

} // namespace audio
