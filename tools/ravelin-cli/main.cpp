#include "Commands.h"

#include <cstdio>
#include <cstring>
#include <os/LogFile.h>

namespace cli {

namespace {

Command const commands[] = {
    { "settings", "settings [set NAME VALUE]", "list every setting with its value and default, or change one",
        settings_command },
    { "encode", "encode IN.wav OUT --format F [...]",
        "record IN.wav into OUT as a recording would (F: mp3, PCM, ADPCM, GSM, Opus, FLAC; --bitrate BPS, --append)",
        encode_command },
    { "tag", "tag FILE [--title TEXT]",
        "list the ID3v2 frames or the Opus, Vorbis or FLAC comments of FILE, or re-title it in place", tag_command },
    { "info", "info FILE", "what the readers make of FILE: format, channels, rate, bits, bit rate, duration, title",
        info_command },
    { "play", "play FILE [--output NAME|OUT.wav] [...]",
        "play FILE on the speaker, on the playback device NAME, or decode it into OUT.wav (--from SECONDS, "
        "--volume V)",
        play_command },
    { "record", "record [--seconds N] [...]",
        "record from the microphone (--input NAME: that capture device) into a new recording until N seconds "
        "have passed, SIGINT or SIGTERM, or a file input ends (--format "
        "Mp3Low|Mp3Middle|Mp3High|OpusLow|Opus|OpusHigh|Flac, --boost BoostOff|Boost1|Boost2|Boost3, --vas V); "
        "prints its path",
        record_command },
    { "devices", "devices", "the sound server's capture and playback devices, by name (tab-separated)",
        devices_command },
    { "append", "append FILE [--seconds N]", "record more into an MP3, Opus, FLAC or WAV recording, as record does",
        append_command },
    { "list", "list", "the recordings, newest first: time, size, album, artist, title, path (tab-separated)",
        list_command },
    { "rescan", "rescan", "rebuild the list from every store folder at once and print it", rescan_command },
    { "rename", "rename FILE TITLE", "give a recording a new title (its tag and its file name)", rename_command },
    { "delete", "delete FILE", "delete a recording", delete_command },
};

void print_help()
{
    std::printf("Ravelin voice recorder, command-line companion.\n\n"
                "Usage: ravelin-cli COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (auto const& c : commands)
        std::printf("  %-34s %s\n", c.usage, c.summary);
    std::printf("  %-34s %s\n", "--help", "show this text");
    std::printf("\nEnvironment: RAVELIN_REGISTRY, RAVELIN_AUDIO_IN, RAVELIN_AUDIO_OUT, RAVELIN_CARDS,\n"
                "RAVELIN_APP_PATH and the XDG folders (see README.md).\n");
}

} // namespace

int fail(int code, std::string const& message)
{
    std::fprintf(stderr, "ravelin-cli: %s\n", message.c_str());
    return code;
}

} // namespace cli

int main(int argc, char** argv)
{
    os::install_log();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        cli::print_help();
        return argc < 2 ? cli::EXIT_USAGE : cli::EXIT_OK;
    }
    cli::Arguments arguments(argv + 2, argv + argc);
    for (auto const& c : cli::commands)
        if (std::strcmp(argv[1], c.name) == 0)
            return c.run(arguments);
    return cli::fail(cli::EXIT_USAGE, std::string("unknown command '") + argv[1] + "' (see ravelin-cli --help)");
}
