#include "Settings.h"

#include <os/Registry.h>

namespace document {

FormatPreset format_preset(StringView format)
{
    if (format == u"Mp3Low")
        return FormatPreset { 1, 16, 22050, 32000 };
    if (format == u"Mp3High")
        return FormatPreset { 1, 16, 44100, 96000 };
    if (format == u"OpusLow")
        return FormatPreset { 1, 16, 48000, 16000, u"Opus", u"opus" };
    if (format == u"Opus")
        return FormatPreset { 1, 16, 48000, 24000, u"Opus", u"opus" };
    if (format == u"OpusHigh")
        return FormatPreset { 1, 16, 48000, 48000, u"Opus", u"opus" };
    if (format == u"Flac")
        return FormatPreset { 1, 16, 44100, 0, u"FLAC", u"flac" };
    return FormatPreset { 1, 16, 44100, 64000 };
}

int32_t boost_level(StringView boost)
{
    if (boost == u"Boost1")
        return 2;
    if (boost == u"Boost2")
        return 4;
    if (boost == u"Boost3")
        return 8;
    return 1;
}

String describe_format(int32_t sample_rate, int32_t bits_per_sample, int32_t bit_rate, FormatUnits const& units)
{
    String text
        = core::decimal(sample_rate / 1000) + units.kilohertz + u" " + core::decimal(bits_per_sample) + units.bits;
    if (bit_rate != 0)
        text += u" " + core::decimal(bit_rate / 1000) + units.kilobits_per_second;
    return text;
}

uint32_t to_fixed(double value)
{
    return static_cast<uint32_t>(static_cast<int32_t>(value * 1048576.0));
}

double from_fixed(uint32_t stored)
{
    return static_cast<int32_t>(stored) * (1.0 / 1048576.0);
}

namespace {

void read_flag(StringView name, bool& flag)
{
    uint32_t value = 0;
    if (os::reg_get_dword(PRODUCT_KEY, name, value))
        flag = value != 0;
}

void read_real(StringView name, double& real)
{
    uint32_t value = 0;
    if (os::reg_get_dword(PRODUCT_KEY, name, value))
        real = from_fixed(value);
}

} // namespace

void Settings::load_first()
{
    read_flag(u"Speaker", speaker);
    os::reg_get_string(PRODUCT_KEY, u"Format", format);
    os::reg_get_string(PRODUCT_KEY, u"Boost", boost);
    os::reg_get_string(PRODUCT_KEY, u"InputDevice", input_device);
    read_real(u"VasLevel", vas_level);
}

void Settings::load_secondary(bool with_path)
{
    read_flag(u"AutoRecord", auto_record);
    read_real(u"Volume", volume);
    if (with_path)
        os::reg_get_string(PRODUCT_KEY, u"Path", path);
}

void Settings::save() const
{
    os::reg_set_dword(PRODUCT_KEY, u"AutoRecord", auto_record ? 1 : 0);
    os::reg_set_dword(PRODUCT_KEY, u"Speaker", speaker ? 1 : 0);
    os::reg_set_string(PRODUCT_KEY, u"Format", format);
    os::reg_set_string(PRODUCT_KEY, u"Boost", boost);
    os::reg_set_dword(PRODUCT_KEY, u"Volume", to_fixed(volume));
    os::reg_set_dword(PRODUCT_KEY, u"VasLevel", to_fixed(vas_level));
    os::reg_set_string(PRODUCT_KEY, u"InputDevice", input_device);
    os::reg_flush();
}

void Settings::save_path(StringView recording) const
{
    os::reg_set_string(PRODUCT_KEY, u"Path", recording);
    os::reg_flush();
}

} // namespace document
