// The commands that drive the Document as the program does, without a window: recording, continuing a
// recording, and the record list with its rename and delete.
#include "Options.h"
#include "Session.h"

#include <algorithm>
#include <audio/formats/FileWriter.h>
#include <cstdio>
#include <document/Settings.h>
#include <os/FileInfo.h>
#include <platform/messages.h>
#include <platform/signals.h>
#include <platform/ticks.h>
#include <platform/wave/wave.h>

namespace cli {

namespace {

using core::String;

// Posted by the signal watcher; its arrival ends the wait for messages.
constexpr uint32_t STOP_SIGNAL_MESSAGE = platform::WM_USER + 60;

struct RecordJob {
    std::vector<std::string> places;
    double seconds = 0; // 0: until a signal or the end of a file input
    std::string format, boost, input;
    double vas = -1;
};

bool parse_record(Arguments const& a, RecordJob& job, std::string& problem)
{
    Options options;
    options.number("--seconds", job.seconds, 0.001, 1e9, "a number of seconds above 0")
        .choice("--format", job.format, names_of(document::FORMAT_NAMES))
        .choice("--boost", job.boost, names_of(document::BOOST_NAMES))
        .number("--vas", job.vas, 0, 1, "a level from 0 to 1")
        .text("--input", job.input);
    return options.parse(a, job.places, problem);
}

// --input: the capture device of this recording; the stored choice stays as it is.
bool choose_input(RecordJob const& job, document::Document& document, std::string& problem)
{
    if (job.input.empty())
        return true;
    if (!choose_device(DeviceKind::CAPTURE, job.input, problem))
        return false;
    document.set_input_device(core::from_utf8(job.input));
    return true;
}

// Runs the recording until its time is up, a stop signal arrives, a file input is used up or the
// Document ends it with a failure; stops it and answers the exit code.
int run_recording(Session& session, platform::StopSignalWatcher const& watcher, double seconds)
{
    auto& document = session.document();
    std::printf("%s\n", core::to_utf8(document.current().path).c_str());
    std::fflush(stdout);
    uint32_t const start = platform::tick_count();
    session.run_until([&] {
        return !document.is_recording() || watcher.received() != 0
            || (seconds > 0 && platform::tick_count() - start >= static_cast<uint32_t>(seconds * 1000))
            || platform::wave_input_ended();
    });
    if (session.failure() != 0)
        return session.fail_with(session.failure_key());
    // The stop hands down what the device still held: count it too.
    document.stop();
    // A writer that failed after the Document's last look (a fast input can pass whole between two looks,
    // a stop can come right after the failure) fails the command as that look would have.
    if (!document.last_recording_written())
        return session.fail_with(u"Sorry_no_memory");
    // Standard output holds the path alone, for scripts: path=$(ravelin-cli record --seconds 5).
    std::fprintf(stderr, "recorded=%.3f\n", document.recorded_seconds());
    return EXIT_OK;
}

// Signals are blocked before the Session's threads start, so that only the watcher takes them.
struct RecordingProcess {
    RecordingProcess()
    {
        platform::block_stop_signals();
        platform::ignore_file_size_signal();
    }
};

} // namespace

int record_command(Arguments const& arguments)
{
    RecordJob job;
    std::string problem;
    if (!parse_record(arguments, job, problem))
        return fail(EXIT_USAGE, problem);
    if (!job.places.empty())
        return fail(EXIT_USAGE,
            "usage: ravelin-cli record [--seconds N] [--format Mp3Low|Mp3Middle|Mp3High|OpusLow|Opus|OpusHigh|Flac] "
            "[--boost BoostOff|Boost1|Boost2|Boost3] [--vas V] [--input NAME]");
    RecordingProcess const process;
    Session session;
    auto& document = session.document();
    if (!choose_input(job, document, problem))
        return fail(EXIT_FAILURE_, problem);
    // The options hold for this recording; the stored settings stay as they are.
    if (!job.format.empty())
        document.set_format(core::from_utf8(job.format));
    if (!job.boost.empty())
        document.set_boost(core::from_utf8(job.boost));
    if (job.vas >= 0)
        document.set_vas_level(job.vas);
    platform::StopSignalWatcher const watcher(platform::current_thread_id(), STOP_SIGNAL_MESSAGE);
    if (!document.record(false, {}, {}, phone::CALL_NONE))
        return session.fail_with(session.failure_key());
    return run_recording(session, watcher, job.seconds);
}

int append_command(Arguments const& arguments)
{
    RecordJob job;
    std::string problem;
    if (!parse_record(arguments, job, problem))
        return fail(EXIT_USAGE, problem);
    if (job.places.size() != 1 || !job.format.empty() || !job.boost.empty())
        return fail(EXIT_USAGE, "usage: ravelin-cli append FILE [--seconds N] [--vas V] [--input NAME]");
    std::string const& path = job.places[0];
    if (!os::FileInfo(core::from_utf8(path)).exists())
        return fail(EXIT_FAILURE_, "cannot continue " + path + ": no such file");
    RecordingProcess const process;
    Session session;
    auto& document = session.document();
    if (!choose_input(job, document, problem))
        return fail(EXIT_FAILURE_, problem);
    if (job.vas >= 0)
        document.set_vas_level(job.vas);
    if (!document.select(core::from_utf8(path)))
        return fail(EXIT_FAILURE_, path + " is not a recording Ravelin can play or continue");
    platform::StopSignalWatcher const watcher(platform::current_thread_id(), STOP_SIGNAL_MESSAGE);
    if (auto const& file = document.current(); !document.can_continue()) {
        std::string const why = audio::can_continue(file.path, file.extension)
            ? "no microphone records " + std::to_string(file.channels) + " channel(s) of "
                + std::to_string(file.bits_per_sample) + " bits at " + std::to_string(file.sample_rate) + " Hz"
            : "it is " + core::to_utf8(file.extension)
                + ", and only MP3, Opus and FLAC files and WAV files of 8- or 16-bit PCM, ADPCM or GSM are continued";
        return fail(EXIT_FAILURE_, "cannot continue " + path + ": " + why);
    }
    if (!document.continue_recording())
        return session.fail_with(session.failure_key());
    return run_recording(session, watcher, job.seconds);
}

int list_command(Arguments const& arguments)
{
    if (!arguments.empty())
        return fail(EXIT_USAGE, "usage: ravelin-cli list");
    Session session;
    auto& document = session.document();
    // The incremental scan of start-up, run to its end.
    document.load_secondary_things();
    session.run_until([&] { return !document.is_scanning(); });
    session.print_records();
    return EXIT_OK;
}

int rescan_command(Arguments const& arguments)
{
    if (!arguments.empty())
        return fail(EXIT_USAGE, "usage: ravelin-cli rescan");
    Session session;
    session.document().rescan();
    session.print_records();
    return EXIT_OK;
}

namespace {

// The list rebuilt and the file made current, as choosing it in the list does; false (with the message
// said) when it is not a listed recording.
bool choose(Session& session, std::string const& path, int& code)
{
    auto& document = session.document();
    document.rescan();
    String const wide = core::from_utf8(path);
    if (document.records().find(wide) < 0) {
        code = fail(EXIT_FAILURE_,
            path + " is not a recording in a store folder (see ravelin-cli list; paths are written as listed)");
        return false;
    }
    document.select(wide);
    return true;
}

} // namespace

int rename_command(Arguments const& arguments)
{
    if (arguments.size() != 2)
        return fail(EXIT_USAGE, "usage: ravelin-cli rename FILE TITLE");
    Session session;
    int code = EXIT_OK;
    if (!choose(session, arguments[0], code))
        return code;
    auto& document = session.document();
    String const old_path = document.current().path;
    document.rename(core::from_utf8(arguments[1]));
    if (document.current().path == old_path && document.current().title != core::from_utf8(arguments[1]))
        return fail(EXIT_FAILURE_, "cannot rename " + arguments[0]);
    std::printf("%s\n", core::to_utf8(document.current().path).c_str());
    return EXIT_OK;
}

int delete_command(Arguments const& arguments)
{
    if (arguments.size() != 1)
        return fail(EXIT_USAGE, "usage: ravelin-cli delete FILE");
    Session session;
    int code = EXIT_OK;
    if (!choose(session, arguments[0], code))
        return code;
    session.document().remove();
    if (os::FileInfo(core::from_utf8(arguments[0])).exists())
        return fail(EXIT_FAILURE_, "cannot delete " + arguments[0]);
    return EXIT_OK;
}

} // namespace cli
