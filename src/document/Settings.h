#pragma once

#include <core/Strings.h>

#include <array>
#include <cstdint>

namespace document {

using core::String;
using core::StringView;

inline constexpr char16_t APP_NAME[] = u"Ravelin";
// The product's key: the maker's key followed by the application name.
inline constexpr char16_t PRODUCT_KEY[] = u"HKEY_CURRENT_USER\\Software\\Korvex\\Ravelin";
inline constexpr char16_t HARDWARE_STATE_KEY[] = u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware";

inline constexpr std::array<StringView, 7> FORMAT_NAMES
    = { u"Mp3Low", u"Mp3Middle", u"Mp3High", u"OpusLow", u"Opus", u"OpusHigh", u"Flac" };
inline constexpr std::array<StringView, 4> BOOST_NAMES = { u"BoostOff", u"Boost1", u"Boost2", u"Boost3" };

// What a "Format" setting records: always mono and 16-bit; MP3 at a constant bit rate, Opus (speech) at a
// variable one about its target, or lossless FLAC (bit rate 0: none is set).
struct FormatPreset {
    int32_t channels = 1;
    int32_t bits_per_sample = 16;
    int32_t sample_rate = 44100;
    int32_t bit_rate = 64000;
    StringView writer = u"mp3"; // the writer's format name
    StringView extension = u"mp3"; // of the file's name
};

// Texts outside the lists behave as "Mp3Middle" and "BoostOff".
FormatPreset format_preset(StringView format);
int32_t boost_level(StringView boost);
struct FormatUnits {
    String kilohertz = u"kHz";
    String bits = u"bit";
    String kilobits_per_second = u"kbps";
};
// "44kHz 16bit 64kbps": rate / 1000, bits, and bit rate / 1000 when it is not 0.
String describe_format(
    int32_t sample_rate, int32_t bits_per_sample, int32_t bit_rate, FormatUnits const& units = FormatUnits {});

// Real numbers are stored as integers times 1,048,576, truncated toward zero.
uint32_t to_fixed(double value);
double from_fixed(uint32_t stored);

// The user's choices as the registry keeps them, with the working copies' defaults. A value that cannot
// be read keeps its default; a failed write is ignored.
// Threads: main thread.
struct Settings {
    bool auto_record = false;
    bool speaker = false;
    String format = u"Mp3Middle";
    String boost = u"BoostOff";
    double volume = 1.0;
    double vas_level = 0.0;
    String path;
    // The capture device by its name; empty for the system's default.
    String input_device;

    // "Speaker", "Format", "Boost", "VasLevel" and "InputDevice".
    void load_first();
    // "AutoRecord" and "Volume", and "Path" when `with_path`.
    void load_secondary(bool with_path);
    // "AutoRecord", "Speaker", "Format", "Boost", "Volume", "VasLevel" and "InputDevice", in that order, then
    // a flush.
    void save() const;
    // "Path", then a flush.
    void save_path(StringView recording) const;
};

} // namespace document
