// Runs the recording path of the Document over a WAV file: the file as the microphone (as fast as the
// chain takes it), the capture chain, the memory buffer and the writer from the factory.
#include "Commands.h"

#include <audio/ActiveBuffer.h>
#include <audio/RecorderPCM.h>
#include <audio/filters/BoostFilter.h>
#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/FileWriter.h>
#include <audio/formats/Id3Tag.h>
#include <audio/formats/WaveHeader.h>
#include <core/Thread.h>
#include <cstdio>
#include <os/DateTime.h>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <platform/wave.h>

namespace cli {

namespace {

using audio::AudioFormat;
using audio::WaveHeader;

constexpr uint32_t TAG_OUTPUT_BUFFER = 65536;
constexpr uint16_t TAG_FLOAT = 3;
constexpr uint16_t TAG_EXTENSIBLE = 0xFFFE;

struct Job {
    std::string in;
    std::string out;
    std::string format;
    int32_t bit_rate = 64000;
    bool append = false;
};

bool parse(Arguments const& a, Job& job, std::string& problem)
{
    std::vector<std::string> places;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--format" && i + 1 < a.size()) {
            job.format = a[++i];
        } else if (a[i] == "--bitrate" && i + 1 < a.size()) {
            try {
                job.bit_rate = std::stoi(a[++i]);
            } catch (...) {
                job.bit_rate = 0;
            }
            if (job.bit_rate < 8000 || job.bit_rate > 320000) {
                problem = "--bitrate must be a number of bits per second from 8000 to 320000";
                return false;
            }
        } else if (a[i] == "--append") {
            job.append = true;
        } else if (a[i].starts_with("--")) {
            problem = "unknown option '" + a[i] + "'";
            return false;
        } else {
            places.push_back(a[i]);
        }
    }
    if (places.size() != 2 || job.format.empty()) {
        problem = "usage: ravelin-cli encode IN.wav OUT --format mp3|PCM|ADPCM|GSM [--bitrate BPS] [--append]";
        return false;
    }
    job.in = places[0];
    job.out = places[1];
    if (job.format != "mp3" && job.format != "PCM" && job.format != "ADPCM" && job.format != "GSM") {
        problem = "unknown format '" + job.format + "' (mp3, PCM, ADPCM or GSM)";
        return false;
    }
    return true;
}

bool read_header(std::string const& path, WaveHeader& header)
{
    os::File file(core::from_utf8(path), os::FileMode::Read);
    return file.is_open() && header.read(file);
}

// The capture format: the preset's for mp3, GSM's own, else the format of the file being continued or
// of the input. ADPCM codes 16-bit samples.
bool capture_format(Job const& job, WaveHeader const& input, AudioFormat& format, std::string& problem)
{
    if (job.format == "mp3") {
        format = { 1, 16, job.bit_rate == 32000 ? 22050 : 44100 };
        return true;
    }
    if (job.format == "GSM") {
        format = { 1, 16, 8000 };
        return true;
    }
    WaveHeader source = input;
    if (job.append && !read_header(job.out, source)) {
        problem = "cannot continue " + job.out + ": it is not a readable WAV file";
        return false;
    }
    format = source.format();
    if (job.format == "ADPCM")
        format.bits_per_sample = 16;
    if (format.channels < 1 || format.channels > 2 || format.samples_per_second < 8000
        || format.samples_per_second > 48000 || (format.bits_per_sample != 8 && format.bits_per_sample != 16)) {
        problem = (job.append ? job.out : job.in) + ": " + std::to_string(format.channels) + " channels of "
            + std::to_string(format.bits_per_sample) + " bits at " + std::to_string(format.samples_per_second)
            + " Hz cannot be recorded (1 or 2 channels, 8 or 16 bits, 8000 to 48000 Hz)";
        return false;
    }
    return true;
}

// The tag a new recording starts with.
bool write_new_tag(Job const& job)
{
    os::DateTime const now = os::DateTime::now();
    char date[8];
    std::snprintf(date, sizeof date, "%02d%02d", now.day % 100, now.month % 100);
    audio::Id3Tag tag;
    tag.set_text("TPE1", u"Record");
    tag.set_text("TIT2", os::base_name(core::from_utf8(job.in)));
    tag.set_text("TALB", u"Record");
    tag.set_text("TCON", u"Ravelin");
    tag.set_text("TYER", core::decimal(now.year));
    tag.set_text("TDAT", core::from_utf8(date));
    os::File file(core::from_utf8(job.out), os::FileMode::Write);
    audio::BufferedOutStream out(file, TAG_OUTPUT_BUFFER);
    return file.is_open() && tag.write(out) && out.flush();
}

// The recording chain as the Document links it; answers whether everything reached a good file.
bool record(Job const& job, AudioFormat const& format, std::string& problem)
{
    core::String const out = core::from_utf8(job.out);
    // The Document continues the file it has just tagged, so the MP3 writer always appends.
    auto writer = audio::create_writer(out, core::from_utf8(job.format), format.channels, format.bits_per_sample,
        format.samples_per_second, job.bit_rate, job.append || job.format == "mp3");
    if (!writer || !writer->status().is_good()) {
        problem = job.append ? "cannot continue " + job.out + ": it is not a " + job.format + " file we can extend"
                             : "cannot write " + job.out;
        return false;
    }
    platform::select_wave_input("file:" + job.in + ",fast");
    audio::BoostFilter boost;
    audio::LevelMeter meter;
    audio::DurationCounter duration;
    audio::ActiveBuffer buffer;
    auto recorder
        = std::make_unique<audio::RecorderPCM>(format.channels, format.samples_per_second, format.bits_per_sample);
    connect(*recorder, &boost);
    connect(boost, &meter);
    connect(meter, &duration); // the pause gate, open
    connect(duration, &buffer);
    connect(buffer, &writer->input());
    if (!recorder->start()) {
        problem = "cannot read " + job.in + " as the microphone";
        return false;
    }
    while (!platform::wave_input_wait_end(100))
        if (!writer->status().is_good() || !buffer.is_valid() || !recorder->is_running())
            break;

    // The Document's stop: capture first, then the buffer drains, the writer goes last.
    recorder.reset();
    while (buffer.queued_count() != 0)
        core::sleep(0.01);
    bool const good = writer->status().is_good() && buffer.is_valid();
    if (!good)
        problem = buffer.is_valid() ? "writing " + job.out + " failed" : "the memory buffer overflowed";
    boost.reset();
    buffer.reset();
    connect(buffer, nullptr);
    writer.reset();
    if (good && !os::FileInfo(out).exists()) {
        problem = job.in + " holds no audio";
        return false;
    }
    return good;
}

} // namespace

int encode_command(Arguments const& arguments)
{
    Job job;
    std::string problem;
    if (!parse(arguments, job, problem))
        return fail(EXIT_USAGE, problem);
    WaveHeader input;
    if (!read_header(job.in, input))
        return fail(EXIT_FAILURE_, "cannot read " + job.in + ": not a readable WAV file");
    if (input.format_tag != WaveHeader::TAG_PCM && input.format_tag != TAG_FLOAT && input.format_tag != TAG_EXTENSIBLE)
        return fail(EXIT_FAILURE_, job.in + " is not PCM: only PCM WAV files can stand in for the microphone");
    AudioFormat format;
    if (!capture_format(job, input, format, problem))
        return fail(EXIT_FAILURE_, problem);
    if (job.append && !os::FileInfo(core::from_utf8(job.out)).exists())
        return fail(EXIT_FAILURE_, "cannot continue " + job.out + ": no such file");

    core::String const out = core::from_utf8(job.out);
    bool const fresh = !job.append;
    if (fresh && job.format == "mp3" && !write_new_tag(job)) {
        os::delete_file(out);
        return fail(EXIT_FAILURE_, "cannot write the tag of " + job.out);
    }
    if (!record(job, format, problem)) {
        // A new file that failed is not left half-written; a continued one keeps what it had and got.
        if (fresh)
            os::delete_file(out);
        return fail(EXIT_FAILURE_, problem);
    }
    return EXIT_OK;
}

} // namespace cli
