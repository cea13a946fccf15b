// What the reader factory makes of a file, and playing it through the Document: the reader linked to the
// player, the end noticed by the Document's tick, stop, the reader detached and deleted.
// With --output the speaker is one of the sound server's playback devices, or, for a name ending in
// ".wav", a WAV file written as fast as the file decodes.
#include "Session.h"

#include "Options.h"

#include <algorithm>
#include <atomic>
#include <cctype>

#include <audio/readers/FileReader.h>
#include <cstdio>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <platform/wave/wave.h>

namespace cli {

namespace {

std::string const what_plays
    = "PCM, float, A-law, mu-law, Microsoft or IMA ADPCM or GSM WAV, Ogg Vorbis, Ogg Opus, Musepack, FLAC or MP3";

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

// A device's name never ends in ".wav"; a file's does.
bool names_a_file(std::string const& output)
{
    if (output.size() <= 4)
        return false;
    std::string end = output.substr(output.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    return end == ".wav";
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
    Options options;
    options.text("--output", job.output)
        .number("--from", job.from, 0, 1e9, "a number of seconds, 0 or more")
        .number("--volume", job.volume, 0, 1, "a number from 0 to 1");
    if (!options.parse(a, places, problem))
        return false;
    if (places.size() != 1) {
        problem = "usage: ravelin-cli play FILE [--output NAME|OUT.wav] [--from SECONDS] [--volume V]";
        return false;
    }
    job.file = places[0];
    return true;
}

std::string seconds_text(PlayJob const& job)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", job.from);
    return text;
}

// The platform's speaker, noting whether it ever opened and took something to play.
//
// Threads: called on the player thread, asked on the main thread once the player has stopped.
class SpeakerWatch final : public audio::WaveOut {
public:
    uint32_t open(platform::WaveHandle& handle, int device, platform::WaveFormat const& format, uint32_t thread_id,
        uintptr_t instance) override
    {
        uint32_t const result = WaveOut::open(handle, device, format, thread_id, instance);
        if (result == platform::MMSYSERR_NOERROR)
            opened_ = true;
        return result;
    }
    uint32_t write(platform::WaveHandle handle, platform::WaveBlock& block) override
    {
        uint32_t const result = WaveOut::write(handle, block);
        if (result == platform::MMSYSERR_NOERROR && block.buffer_length > 0)
            played_ = true;
        return result;
    }
    bool opened() const { return opened_; }
    bool played() const { return played_; }

private:
    std::atomic<bool> opened_ { false };
    std::atomic<bool> played_ { false };
};

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
    if (!job.output.empty() && !names_a_file(job.output)) {
        if (!choose_device(DeviceKind::PLAYBACK, job.output, problem))
            return fail(EXIT_FAILURE_, problem);
    } else if (!job.output.empty()) {
        // The speaker makes the file at its first open; a file that cannot be made is said at once.
        if (!os::File(core::from_utf8(job.output), os::FileMode::Write).is_open())
            return fail(EXIT_FAILURE_, "cannot write " + job.output);
        os::delete_file(core::from_utf8(job.output));
        platform::select_wave_output("file:" + job.output + ",fast");
    }
    if (platform::wave_out_get_num_devs() == 0)
        return fail(EXIT_FAILURE_, "no sound output: RAVELIN_AUDIO_OUT is none (--output OUT.wav writes a file)");
    int64_t position = 0;
    bool has_audio = false;
    {
        auto reader = open_reader(job.file, problem);
        if (!reader)
            return fail(EXIT_FAILURE_, problem);
        if (job.from > 0)
            position = std::max<int64_t>(reader->info().seconds_to_units(job.from), 1);
        has_audio = reader->info().length() > position;
    }

    // The Document plays it: the reader linked to the player, its tick ends the playback at the end of
    // the file or on a bad reader.
    SpeakerWatch speaker;
    document::Document::Services services;
    services.wave_out = &speaker;
    Session session(std::move(services));
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
    // The player ends idle and finished also when the device would not open: that is no success.
    if (!speaker.played() && has_audio && !speaker.opened())
        return fail(EXIT_FAILURE_, "no speaker: " + job.file + " was not played");
    if (!speaker.played())
        return fail(EXIT_FAILURE_,
            job.file + " holds no audio that could be played" + (job.from > 0 ? " from " + seconds_text(job) : ""));
    if (names_a_file(job.output) && !os::FileInfo(core::from_utf8(job.output)).exists())
        return fail(EXIT_FAILURE_, job.file + " holds no audio that could be played");
    return EXIT_OK;
}

} // namespace cli
