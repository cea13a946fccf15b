// What the reader factory makes of a file, and playing it through the Document: the reader linked to the
// player, the end noticed by the Document's tick, stop, the reader detached and deleted.
// With --output the speaker is a WAV file written as fast as the file decodes.
#include "Session.h"

#include <algorithm>

#include <audio/readers/FileReader.h>
#include <cstdio>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <platform/wave.h>

namespace cli {

namespace {

std::string const what_plays = "PCM, ADPCM or GSM WAV, Ogg Vorbis, Musepack or MP3";

// One line naming the file when it cannot be read or no reader takes it.
std::unique_ptr<audio::FileReader> open_reader(std::string const& path, std::string& problem)
{
    os::FileInfo const info(core::from_utf8(path));
    if (!info.exists() || info.is_directory()) {
        problem = "cannot read " + path + ": no such file";
        return nullptr;
    }
    core::String why;
    auto reader = audio::create_reader(core::from_utf8(path), why);
    if (!reader)
        problem = path + " is not a file Ravelin can play (" + what_plays + "): " + core::to_utf8(why);
    return reader;
}

bool parse_number(std::string const& text, double& value)
{
    try {
        size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

struct PlayJob {
    std::string file;
    std::string output;
    double from = 0;
    double volume = 1.0;
};

bool parse(Arguments const& a, PlayJob& job, std::string& problem)
{
    std::vector<std::string> places;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--output" && i + 1 < a.size()) {
            job.output = a[++i];
        } else if (a[i] == "--from" && i + 1 < a.size()) {
            if (!parse_number(a[++i], job.from) || job.from < 0) {
                problem = "--from must be a number of seconds, 0 or more";
                return false;
            }
        } else if (a[i] == "--volume" && i + 1 < a.size()) {
            if (!parse_number(a[++i], job.volume)) {
                problem = "--volume must be a number (0 to 1)";
                return false;
            }
        } else if (a[i].starts_with("--")) {
            problem = "unknown option '" + a[i] + "'";
            return false;
        } else {
            places.push_back(a[i]);
        }
    }
    if (places.size() != 1) {
        problem = "usage: ravelin-cli play FILE [--output OUT.wav] [--from SECONDS] [--volume V]";
        return false;
    }
    job.file = places[0];
    return true;
}

} // namespace

int info_command(Arguments const& arguments)
{
    if (arguments.size() != 1)
        return fail(EXIT_USAGE, "usage: ravelin-cli info FILE");
    std::string problem;
    auto reader = open_reader(arguments[0], problem);
    if (!reader)
        return fail(EXIT_FAILURE_, problem);
    audio::ReaderInfo& info = reader->info();
    std::printf("format=%s\nchannels=%d\nrate=%d\nbits=%d\nbitrate=%d\nduration=%.3f\ntitle=%s\n",
        core::to_utf8(reader->format_name()).c_str(), info.channels(), info.samples_per_second(),
        info.bits_per_sample(), info.bit_rate(), info.duration(), core::to_utf8(reader->title()).c_str());
    return EXIT_OK;
}

int play_command(Arguments const& arguments)
{
    PlayJob job;
    std::string problem;
    if (!parse(arguments, job, problem))
        return fail(EXIT_USAGE, problem);
    if (!job.output.empty()) {
        // The speaker makes the file at its first open; a file that cannot be made is said at once.
        if (!os::File(core::from_utf8(job.output), os::FileMode::Write).is_open())
            return fail(EXIT_FAILURE_, "cannot write " + job.output);
        os::delete_file(core::from_utf8(job.output));
        platform::select_wave_output("file:" + job.output + ",fast");
    }
    if (platform::wave_out_get_num_devs() == 0)
        return fail(EXIT_FAILURE_, "no sound output: RAVELIN_AUDIO_OUT is none (--output OUT.wav writes a file)");
    int64_t position = 0;
    {
        auto reader = open_reader(job.file, problem);
        if (!reader)
            return fail(EXIT_FAILURE_, problem);
        if (job.from > 0)
            position = std::max<int64_t>(reader->info().seconds_to_units(job.from), 1);
    }

    // The Document plays it: the reader linked to the player, its tick ends the playback at the end of
    // the file or on a bad reader.
    Session session;
    auto& document = session.document();
    document.set_volume(job.volume);
    if (!document.play(core::from_utf8(job.file), position))
        return fail(EXIT_FAILURE_, "the player does not start");
    session.clear_stopped();
    bool reader_failed = false;
    double reached = 0;
    session.run_until([&] {
        if (auto* reader = document.reader()) {
            reached = reader->info().position_seconds();
            reader_failed = reader_failed || !reader->info().is_valid() || !reader->info().status().is_good();
        }
        return session.stopped() || reader_failed;
    });
    document.stop();
    if (reader_failed)
        return fail(EXIT_FAILURE_, "reading " + job.file + " failed at " + std::to_string(reached) + " s");
    if (!job.output.empty() && !os::FileInfo(core::from_utf8(job.output)).exists())
        return fail(EXIT_FAILURE_, job.file + " holds no audio that could be played");
    return EXIT_OK;
}

} // namespace cli
