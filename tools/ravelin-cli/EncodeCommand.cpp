// Records a WAV file through the Document's own recording path: the file as the microphone (as fast as
// the chain takes it), and the Document's capture, boost, level meter, memory buffer and writer, so that
// the command line can never record differently from the program. Boost is off and voice activation
// cuts nothing: what goes in is what is coded.
#include "Options.h"
#include "Session.h"

#include <audio/formats/WaveHeader.h>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <platform/wave/wave.h>

namespace cli {

namespace {

using audio::AudioFormat;
using audio::WaveHeader;

struct Job {
    std::string in;
    std::string out;
    std::string format;
    int32_t bit_rate = 0; // 0: the format's own (64 kbit/s for MP3, 24 for Opus)
    bool append = false;
};

constexpr int32_t MP3_BIT_RATE = 64000;
constexpr int32_t OPUS_BIT_RATE = 24000;

bool parse(Arguments const& a, Job& job, std::string& problem)
{
    std::vector<std::string> places;
    Options options;
    options.choice("--format", job.format, { "mp3", "PCM", "ADPCM", "GSM", "Opus", "FLAC" })
        .integer("--bitrate", job.bit_rate, 8000, 320000, "a number of bits per second from 8000 to 320000")
        .flag("--append", job.append);
    if (!options.parse(a, places, problem))
        return false;
    if (places.size() != 2 || job.format.empty()) {
        problem
            = "usage: ravelin-cli encode IN.wav OUT --format mp3|PCM|ADPCM|GSM|Opus|FLAC [--bitrate BPS] [--append]";
        return false;
    }
    if (job.bit_rate == 0)
        job.bit_rate = job.format == "Opus" ? OPUS_BIT_RATE : MP3_BIT_RATE;
    job.in = places[0];
    job.out = places[1];
    return true;
}

// The capture format of a new file: the preset's for mp3 and Opus (mono, 48 kHz), GSM's own, else the
// input's in 16 bits (8 bits stay 8 for PCM) and at most two channels, so that FLAC keeps it as it is.
bool capture_format(Job const& job, WaveHeader const& input, AudioFormat& format, std::string& problem)
{
    if (job.format == "mp3") {
        format = { 1, 16, job.bit_rate == 32000 ? 22050 : 44100 };
        return true;
    }
    if (job.format == "Opus") {
        format = { 1, 16, 48000 };
        return true;
    }
    if (job.format == "GSM") {
        format = { 1, 16, 8000 };
        return true;
    }
    bool const eight = job.format == "PCM" && input.coding() == WaveHeader::TAG_PCM && input.bits_per_sample == 8;
    format = { std::min<int32_t>(input.channels, 2), eight ? 8 : 16, static_cast<int32_t>(input.samples_per_second) };
    if (format.samples_per_second < 8000 || format.samples_per_second > 48000) {
        problem
            = job.in + ": " + std::to_string(format.samples_per_second) + " Hz cannot be recorded (8000 to 48000 Hz)";
        return false;
    }
    return true;
}

// Starts the Document's recording into the output; false with the problem said.
bool start(document::Document& document, Job const& job, WaveHeader const& input, std::string& problem)
{
    core::String const out = core::from_utf8(job.out);
    if (job.append) {
        // As the program continues a recording: the file is chosen, then continued in its own format.
        if (!document.select(out) || document.current().extension != core::from_utf8(job.format)) {
            problem = "cannot continue " + job.out + ": it is not a " + job.format + " file we can extend";
            return false;
        }
        if (!document.continue_recording()) {
            problem = "cannot continue " + job.out + ": it is not a " + job.format + " file we can extend";
            return false;
        }
        return true;
    }
    AudioFormat format;
    if (!capture_format(job, input, format, problem))
        return false;
    document::RecordInfo info;
    info.path = out;
    info.artist = u"Record";
    info.album = u"Record";
    info.title = os::base_name(core::from_utf8(job.in));
    info.channels = format.channels;
    info.bits_per_sample = format.bits_per_sample;
    info.sample_rate = format.samples_per_second;
    info.bit_rate = job.bit_rate;
    if (!document.record_file(info, core::from_utf8(job.format))) {
        problem = "cannot write " + job.out;
        return false;
    }
    return true;
}

} // namespace

int encode_command(Arguments const& arguments)
{
    Job job;
    std::string problem;
    if (!parse(arguments, job, problem))
        return fail(EXIT_USAGE, problem);
    WaveHeader input;
    {
        os::File file(core::from_utf8(job.in), os::FileMode::Read);
        std::string why = "no such file";
        if (!file.is_open() || !input.read(file, &why))
            return fail(EXIT_FAILURE_, "cannot read " + job.in + ": " + why);
    }
    if (!input.passes_pcm_checks())
        return fail(
            EXIT_FAILURE_, job.in + " cannot stand in for the microphone (only PCM WAV files can): " + input.refusal());
    core::String const out = core::from_utf8(job.out);
    if (job.append && !os::FileInfo(out).exists())
        return fail(EXIT_FAILURE_, "cannot continue " + job.out + ": no such file");

    document::Document::Services services;
    services.play_sound = [](core::StringView) {}; // no beeps into a conversion
    Session session(std::move(services));
    auto& document = session.document();
    document.set_boost(u"BoostOff");
    document.set_vas_level(0);
    platform::select_wave_input("file:" + job.in + ",fast");
    bool const fresh = !job.append;
    if (!start(document, job, input, problem))
        return fail(EXIT_FAILURE_, problem);
    session.run_until([&] { return !document.is_recording() || platform::wave_input_ended(); });
    document.stop();
    if (session.failure() != 0 || !document.last_recording_written()) {
        // A new file that failed is not left half-written; a continued one keeps what it had and got.
        if (fresh)
            os::delete_file(out);
        return session.failure() != 0 ? session.fail_with(session.failure_key())
                                      : fail(EXIT_FAILURE_, "writing " + job.out + " failed");
    }
    if (!os::FileInfo(out).exists())
        return fail(EXIT_FAILURE_, job.in + " holds no audio");
    return EXIT_OK;
}

} // namespace cli
