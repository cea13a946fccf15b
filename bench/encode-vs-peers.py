#!/usr/bin/env python3
"""Codes 10 minutes of speech (espeak-ng, made on the machine) with `ravelin-cli encode` (the file
microphone in fast mode, the Document, the whole recording chain) to Opus at 24 kbit/s and to FLAC, and
the same WAV files with `opusenc` and `flac` at the same settings. Prints CPU time (user + system, so
that other work on the machine costs neither side) and peak memory side by side: the median and the
range of RUNS runs, ours and theirs taking turns. Then the size one hour of that speech takes in each
format the Format setting offers and in WAV. Exits non-zero when ours costs more than 1.10 times the
peer's CPU time or peaks at 20 MB or more.

    bench/encode-vs-peers.py [BUILD_DIR] [--no-sizes]      # default: build
"""
import os
import subprocess
import sys
import tempfile

from peer_timing import measure, private_env, summary, tools

RUNS = 5
MAX_CPU_RATIO = 1.10
MAX_PEAK_MB = 20.0
SECONDS = 600
TEXT = ("Good morning. This is a note about the meeting on Tuesday at a quarter past ten. "
        "We spoke about the budget for next year, the new office, and who takes the calls while Ann is away. "
        "Peter said that the numbers for March look better than we thought, seven, eight, nine percent. "
        "Please call me back when you have a minute; the number is two zero seven, nine four six, zero zero.")


def speech(work, rate):
    """SECONDS of mono speech at `rate`: the text spoken once, repeated to length."""
    once = os.path.join(work, "once.wav")
    if not os.path.exists(once):
        subprocess.run(["espeak-ng", "-w", once, TEXT], check=True)
    path = os.path.join(work, "speech-%d.wav" % rate)
    subprocess.run(["sox", once, "-r", str(rate), "-c", "1", "-b", "16", path, "repeat", "40", "trim", "0",
                    str(SECONDS)], check=True)
    return path


def main():
    arguments = [a for a in sys.argv[1:] if a != "--no-sizes"]
    build = arguments[0] if arguments else "build"
    cli, rusage = tools(build)
    missed = False
    with tempfile.TemporaryDirectory(prefix="ravelin-bench-") as work:
        env = private_env(work)
        wav48, wav44 = speech(work, 48000), speech(work, 44100)
        out = lambda name: os.path.join(work, name)
        pairs = [
            ("Opus 24 kbit/s, 48 kHz", [cli, "encode", wav48, out("o.opus"), "--format", "Opus", "--bitrate", "24000"],
             "opusenc", ["opusenc", "--quiet", "--speech", "--bitrate", "24", wav48, out("p.opus")]),
            ("FLAC, 44.1 kHz", [cli, "encode", wav44, out("f.flac"), "--format", "FLAC"],
             "flac", ["flac", "--silent", "-f", "-5", wav44, "-o", out("p.flac")]),
        ]
        print("%d s of mono speech, median CPU (and range) of %d runs, largest peak" % (SECONDS, RUNS))
        print("%-24s %-8s %18s %18s %7s %8s %8s" % ("", "peer", "CPU s", "peer s", "ratio", "peak MB", "peer MB"))
        for what, ours_argv, peer, theirs_argv in pairs:
            ours, theirs = [], []
            for _ in range(RUNS):
                if os.path.exists(ours_argv[3]):
                    os.remove(ours_argv[3])
                ours.append(measure(rusage, ours_argv, env))
                theirs.append(measure(rusage, theirs_argv, env))
            (cpu, peak), (peer_cpu, peer_peak) = summary(ours), summary(theirs)
            ratio = cpu / peer_cpu
            spread = lambda runs: "(%.2f-%.2f)" % (min(c for c, _ in runs), max(c for c, _ in runs))
            print("%-24s %-8s %6.2f %11s %6.2f %11s %7.3f %8.1f %8.1f" % (what, peer, cpu, spread(ours), peer_cpu,
                                                                        spread(theirs), ratio, peak, peer_peak))
            missed = missed or ratio > MAX_CPU_RATIO or peak >= MAX_PEAK_MB
        print("targets: CPU ratio <= %.2f, peak < %.0f MB" % (MAX_CPU_RATIO, MAX_PEAK_MB))

        if "--no-sizes" in sys.argv:
            presets = []
        else:
            # What the Format setting's presets (and WAV) make of one hour of that speech.
            presets = [("Mp3Low", wav44, "mp3", ["--format", "mp3", "--bitrate", "32000"]),
                       ("Mp3Middle", wav44, "mp3", ["--format", "mp3", "--bitrate", "64000"]),
                       ("Mp3High", wav44, "mp3", ["--format", "mp3", "--bitrate", "96000"]),
                       ("OpusLow", wav48, "opus", ["--format", "Opus", "--bitrate", "16000"]),
                       ("Opus", wav48, "opus", ["--format", "Opus", "--bitrate", "24000"]),
                       ("OpusHigh", wav48, "opus", ["--format", "Opus", "--bitrate", "48000"]),
                       ("Flac", wav44, "flac", ["--format", "FLAC"]),
                       ("WAV (PCM 44.1 kHz)", wav44, "wav", ["--format", "PCM"])]
        if presets:
            print("\none hour of speech (%d s measured, times %d)" % (SECONDS, 3600 // SECONDS))
        for name, wav, extension, options in presets:
            path = out("size." + extension)
            if os.path.exists(path):
                os.remove(path)
            subprocess.run([cli, "encode", wav, path] + options, env=env, check=True)
            print("%-20s %8.1f MB" % (name, os.path.getsize(path) * (3600 / SECONDS) / 1e6))
    if missed:
        sys.exit("target missed")


if __name__ == "__main__":
    main()
