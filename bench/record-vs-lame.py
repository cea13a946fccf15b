#!/usr/bin/env python3
"""Records a 10-minute WAV through `ravelin-cli record` (the file microphone in fast mode, the Document,
the whole recording chain, Mp3Middle: 44100 Hz mono, 64 kbit/s CBR) and codes the same WAV with the
`lame` program at the same settings. Prints CPU time and peak memory side by side, and exits non-zero
when the recording costs more than 1.10 times lame's CPU time or peaks at 20 MB or more.

    bench/record-vs-lame.py [BUILD_DIR]      # default: build
"""
import os
import subprocess
import sys
import tempfile

from peer_timing import measure, private_env, summary, tools

RUNS = 3
MAX_CPU_RATIO = 1.10
MAX_PEAK_MB = 20.0


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    cli, rusage = tools(build)
    with tempfile.TemporaryDirectory(prefix="ravelin-bench-") as work:
        wav = os.path.join(work, "speech.wav")
        # Pink noise shaped into syllables: a load like speech for the coder, ten minutes long.
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", "-b", "16", wav, "synth", "600", "pinknoise",
                        "tremolo", "4", "80", "vol", "0.5"], check=True)
        env = private_env(work, XDG_DOCUMENTS_DIR=os.path.join(work, "Documents"),
                          RAVELIN_AUDIO_IN="file:%s,fast" % wav)
        ours, theirs = [], []
        for i in range(RUNS):
            ours.append(measure(rusage, [cli, "record", "--format", "Mp3Middle", "--boost", "BoostOff"], env))
            theirs.append(measure(rusage, ["lame", "--silent", "--cbr", "-b", "64", "-m", "m", wav,
                                   os.path.join(work, "lame-%d.mp3" % i)], env))
    (cpu_ours, peak_ours), (cpu_lame, peak_lame) = summary(ours), summary(theirs)
    ratio = cpu_ours / cpu_lame
    print("10 min of 44.1 kHz mono to MP3 at 64 kbit/s, median of %d runs" % RUNS)
    print("%-22s %10s %12s" % ("", "CPU s", "peak MB"))
    print("%-22s %10.2f %12.1f" % ("ravelin-cli record", cpu_ours, peak_ours))
    print("%-22s %10.2f %12.1f" % ("lame", cpu_lame, peak_lame))
    print("CPU ratio %.3f (target <= %.2f), peak %.1f MB (target < %.0f MB)"
          % (ratio, MAX_CPU_RATIO, peak_ours, MAX_PEAK_MB))
    if ratio > MAX_CPU_RATIO or peak_ours >= MAX_PEAK_MB:
        sys.exit("target missed")


if __name__ == "__main__":
    main()
