// Recording end to end through ravelin-cli and the Document, with a WAV file as the microphone: the
// record list commands, and what survives a stop signal and a full disk (a kill: OpusFlacTest).
#include "CliTest.h"

using cli_test::cli;
using cli_test::decoded_seconds;
using cli_test::Place;
using testing_support::read_file;
using testing_support::run;

namespace {

// A 440 Hz tone of `seconds` at 44.1 kHz mono, made by sox.
std::string tone(cli_test::Place const& place, double seconds)
{
    return cli_test::sox_input(place.dir + "/tone.wav", 44100, 1, seconds, "sine 440");
}

// The lines of the text, or the fields of a line (tab-separated).
std::vector<std::string> split(std::string const& text, char separator = '\n')
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        out.push_back(part);
    return out;
}

double recorded_value(std::string const& output)
{
    auto const at = output.find("recorded=");
    return at == std::string::npos ? -1 : std::stod(output.substr(at + 9));
}

} // namespace

// What scripts read: the new file's path alone on standard output, the list's columns, the new path of a
// rename and of a continuation. The options are for that recording only. (What each command does to the
// files is the Document's, tested there.)
TEST(RecordCommand, RecordListRenameAppendAndDelete)
{
    Place const place("cli-cycle");
    std::string const input = tone(place, 1.0);
    std::string const mic = "RAVELIN_AUDIO_IN='file:" + input + ",fast' ";

    auto const first = run(place.env + mic + cli() + " record --format Mp3Low --boost Boost1");
    ASSERT_EQ(first.exit_code, 0) << first.error;
    std::string const path = split(first.output).at(0);
    EXPECT_EQ(path.rfind(place.store() + "/Record ", 0), 0u) << path;
    EXPECT_EQ(first.output, path + "\n") << "the path alone on standard output";
    EXPECT_NEAR(recorded_value(first.error), 1.0, 0.001);
    EXPECT_NE(run(cli() + " info '" + path + "'").output.find("rate=22050"), std::string::npos);
    auto const settings = run(place.env + cli() + " settings").output;
    EXPECT_NE(settings.find("Format         Mp3Middle "), std::string::npos) << settings;

    auto const second = run(place.env + mic + cli() + " record --seconds 30");
    ASSERT_EQ(second.exit_code, 0) << second.error;
    auto const rows = split(run(place.env + cli() + " list").output);
    ASSERT_EQ(rows.size(), 2u);
    auto const top = split(rows[0], '\t');
    ASSERT_EQ(top.size(), 6u);
    EXPECT_TRUE(top[0].size() == 19 && top[0][10] == 'T') << top[0]; // 2026-12-06T10:15:30
    EXPECT_EQ(top[1].back(), 'K');
    EXPECT_EQ((std::vector { top[2], top[3], top[5], split(rows[1], '\t')[5] }),
        (std::vector<std::string> { "Record", "Record", split(second.output).at(0), path }));

    auto const renamed = run(place.env + cli() + " rename '" + path + "' 'Plan: A?'");
    std::string const new_path = place.store() + "/Record Plan  A .mp3";
    EXPECT_EQ(std::pair(renamed.exit_code, renamed.output), std::pair(0, new_path + "\n")) << renamed.error;
    auto const appended = run(place.env + mic + cli() + " append '" + new_path + "'");
    EXPECT_EQ(std::pair(appended.exit_code, appended.output), std::pair(0, new_path + "\n")) << appended.error;

    EXPECT_EQ(split(run(place.env + cli() + " rescan").output).size(), 2u);
    EXPECT_EQ(run(place.env + cli() + " delete '" + new_path + "'").exit_code, 0);
    // What is not a listed recording is refused.
    EXPECT_NE(run(place.env + cli() + " delete '" + input + "'").exit_code, 0);
    EXPECT_TRUE(testing_support::file_exists(input));
    EXPECT_NE(run(place.env + cli() + " record --format Mp3Huge").exit_code, 0);
}

TEST(RecordCommand, StopSignalsLoseNothingCaptured)
{
    Place const place("cli-signals");
    std::string const input = tone(place, 20.0);
    for (char const* signal : { "INT", "TERM" }) {
        std::string const out = place.dir + "/out-" + signal + ".txt";
        // The signal comes 1.3 s after the recording started, in the middle of a capture block.
        auto const r = place.record_until(input, out, 1.3, signal);
        EXPECT_EQ(r.exit_code, 0) << signal << ": " << r.error;
        std::string const path = split(read_file(out)).at(0);
        double const recorded = recorded_value(r.error);
        EXPECT_TRUE(recorded > 1.25 && recorded < 3.0) << signal << ": " << recorded;
        // Everything that reached the recording is in the file: the coder's delay and the summary frame
        // add at most about 0.05 s.
        double const decoded = decoded_seconds(path);
        EXPECT_TRUE(decoded >= recorded - 0.001 && decoded < recorded + 0.08) << signal << ": " << decoded;
    }
}

TEST(RecordCommand, AFullDiskEndsTheRecordingWithAPlayableFile)
{
    Place const place("cli-full");
    std::string const input = tone(place, 60.0);
    // 100 KiB of file size allowed (bash counts in KiB): the recording needs 480 KB.
    auto const r = run(
        place.env + "RAVELIN_AUDIO_IN='file:" + input + ",fast' bash -c 'ulimit -f 100; exec " + cli() + " record'");
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.error.find("Sorry, the recording cannot be written"), std::string::npos) << r.error;
    std::string const path = split(r.output).at(0);
    double const decoded = decoded_seconds(path);
    // All that fitted plays: 102,400 bytes at 64 kbit/s are 12.8 s, less the tag and the last frame.
    EXPECT_EQ(read_file(path).size(), 102400u);
    EXPECT_TRUE(decoded > 12.4 && decoded < 12.8) << decoded;
}
