#!/usr/bin/env python3
"""Long recordings through `ravelin-cli`, with a looped speech-like WAV as the microphone in fast mode.

1. `ravelin-cli record --format Mp3Middle` (44100 Hz mono, 64 kbit/s) for HOURS simulated hours (default
   8). Resident memory (VmRSS) is sampled at every simulated minute, the simulated time being read from the
   growing MP3 (8000 bytes a second at 64 kbit/s). Checks: the last hour's peak is within 1 MB of the
   first hour's; ffmpeg decodes the file without an error; ffprobe's duration is HOURS within a second.
2. An ADPCM WAV (48000 Hz stereo, about 48 KB a second) continued with `ravelin-cli append` again and
   again, HOURS each time, past 2 GB and on to the 4 GB that the sizes of a WAV header can hold: the
   last continuation must stop with the "memory is full" message, the file stays below 4 GB, and ffmpeg
   decodes all of it to the recorded duration.

Prints the figures (memory peaks, duration, processor seconds per recorded hour) and exits non-zero when a
check fails.

    bench/long-run.py [BUILD_DIR] [--hours H] [--work DIR]
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

MP3_BYTES_PER_SECOND = 64000 // 8
MAX_RSS_GROWTH_KB = 1024
FOUR_GB = 1 << 32
CLIP_SECONDS = 60


def make_microphone(work, hours):
    """A minute of pink noise shaped into syllables and phrases (a coder load like speech), looped to
    `hours` as a 44100 Hz mono WAV."""
    clip = os.path.join(work, "clip.wav")
    long_wav = os.path.join(work, "speech-loop.wav")
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "1", "-b", "16", clip, "synth", str(CLIP_SECONDS),
                    "pinknoise", "tremolo", "4", "80", "tremolo", "0.3", "60", "vol", "0.5"], check=True)
    repeats = int(round(hours * 3600 / CLIP_SECONDS)) - 1
    subprocess.run(["sox", clip, long_wav, "repeat", str(repeats)], check=True)
    os.remove(clip)
    return long_wav


def environment(work, microphone):
    env = dict(os.environ)
    env.update({
        "HOME": work,
        "XDG_DOCUMENTS_DIR": os.path.join(work, "Documents"),
        "XDG_CONFIG_HOME": os.path.join(work, "config"),
        "XDG_STATE_HOME": os.path.join(work, "state"),
        "RAVELIN_REGISTRY": os.path.join(work, "registry.db"),
        "RAVELIN_CARDS": "",
        "RAVELIN_AUDIO_IN": "file:%s,fast" % microphone,
        "RAVELIN_AUDIO_OUT": "none",
    })
    return env


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class Run:
    """One ravelin-cli command, its memory sampled at each simulated minute of its output."""

    def __init__(self, argv, env, output_seconds):
        self.process = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.output_seconds = output_seconds  # simulated seconds recorded so far, from the output's size
        self.samples = []  # (simulated minute, VmRSS kB)
        self.path = None

    def watch(self, path_known=None):
        if path_known is None:
            self.path = self.process.stdout.readline().strip()
        else:
            self.path = path_known
        stderr = []
        reader = threading.Thread(target=lambda: stderr.append(self.process.stderr.read()))
        reader.start()
        next_minute = 0
        while self.process.poll() is None:
            seconds = self.output_seconds(self.path)
            if seconds is not None and seconds >= next_minute * 60:
                kb = rss_kb(self.process.pid)
                # A reading taken while the process ends (or before it has started) is not its memory.
                if kb is not None and self.process.poll() is None and seconds > 0:
                    self.samples.append((int(seconds // 60), kb))
                next_minute = int(seconds // 60) + 1
            time.sleep(0.02)
        reader.join()
        self.stderr = "".join(stderr)
        self.code = self.process.returncode
        return self


def run(argv, env, output_seconds, path_known=None):
    """Runs the command to its end: (Run with samples, processor seconds, exit code, standard error)."""
    r = Run(argv, env, output_seconds)
    before = os.times()
    r.watch(path_known)
    after = os.times()
    # The child's processor time, as the parent's wait collected it.
    r.cpu_seconds = (after.children_user - before.children_user) + (after.children_system - before.children_system)
    return r


def hour_peaks(samples, hours):
    first = [kb for minute, kb in samples if minute < 60]
    last = [kb for minute, kb in samples if minute >= (hours - 1) * 60]
    return (max(first) if first else None), (max(last) if last else None)


def probe_duration(path):
    done = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "json", path],
                          capture_output=True, text=True)
    if done.returncode != 0:
        return None, done.stderr.strip()
    return float(json.loads(done.stdout)["format"]["duration"]), ""


def decode_errors(path):
    """ffmpeg's complaints while decoding the whole file ("" when there are none)."""
    done = subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"],
                          capture_output=True, text=True)
    text = done.stderr.strip()
    return text if text or done.returncode == 0 else "ffmpeg exited with %d" % done.returncode


def long_mp3(cli, env, hours, failures):
    print("== %g hours of speech into MP3 (Mp3Middle, 64 kbit/s)" % hours, flush=True)
    mp3_seconds = lambda p: os.path.getsize(p) / MP3_BYTES_PER_SECOND if p and os.path.exists(p) else None
    started = time.monotonic()
    r = run([cli, "record", "--format", "Mp3Middle", "--boost", "BoostOff"], env, mp3_seconds)
    wall = time.monotonic() - started
    if r.code != 0:
        failures.append("record exited with %d: %s" % (r.code, r.stderr.strip()))
        return
    first, last = hour_peaks(r.samples, hours)
    duration, problem = probe_duration(r.path)
    errors = decode_errors(r.path)
    print("samples=%d (one a simulated minute)" % len(r.samples))
    print("rss_first_hour_peak_kb=%s rss_last_hour_peak_kb=%s" % (first, last))
    print("file_bytes=%d ffprobe_duration=%s (expected %d)" % (os.path.getsize(r.path), duration, hours * 3600))
    print("cpu_seconds=%.1f cpu_seconds_per_recorded_hour=%.1f wall_seconds=%.0f" % (
        r.cpu_seconds, r.cpu_seconds / hours, wall))
    if first is None or last is None:
        failures.append("too few memory samples")
    elif last - first > MAX_RSS_GROWTH_KB:
        failures.append("memory grew: first hour's peak %d kB, last hour's %d kB" % (first, last))
    if duration is None:
        failures.append("ffprobe: " + problem)
    elif abs(duration - hours * 3600) > 1.0:
        failures.append("duration %.3f s is not %d s" % (duration, hours * 3600))
    if errors:
        failures.append("ffmpeg decoding the MP3: " + errors[:500])
    os.remove(r.path)


def adpcm_rate(path):
    """Bytes a second of an MS ADPCM WAV, from its block size and samples per block."""
    with open(path, "rb") as f:
        header = f.read(64)
    rate = int.from_bytes(header[24:28], "little")
    block_align = int.from_bytes(header[32:34], "little")
    samples_per_block = int.from_bytes(header[38:40], "little")
    return rate * block_align / samples_per_block


def long_adpcm(cli, env, work, hours, seed_hours, failures):
    print("== ADPCM WAV (48000 Hz stereo) of %g hours continued by %g hours at a time to its 4 GB limit" % (
        seed_hours, hours), flush=True)
    # The file to continue, just below 2 GB: MS ADPCM written by ffmpeg from the same speech, so that the
    # hours before the 2 GB mark need not be recorded first.
    path = os.path.join(work, "Documents", "long-adpcm.wav")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    microphone = env["RAVELIN_AUDIO_IN"][len("file:"):-len(",fast")]
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-stream_loop", "-1", "-i", microphone, "-t",
                    str(seed_hours * 3600), "-ac", "2", "-ar", "48000", "-c:a", "adpcm_ms", path], check=True)
    seed_seconds, problem = probe_duration(path)
    if seed_seconds is None:
        failures.append("ffprobe on the ADPCM seed: " + problem)
        return
    bytes_per_second = adpcm_rate(path)
    base = os.path.getsize(path)
    print("seed: %d bytes, %.1f s" % (base, seed_seconds), flush=True)
    adpcm_seconds = lambda p: (os.path.getsize(p) - base) / bytes_per_second if os.path.exists(p) else None
    cpu = 0.0
    samples = []
    last = None
    started = time.monotonic()
    for turn in range(16):
        before = os.path.getsize(path)
        r = run([cli, "append", path], env, adpcm_seconds, path_known=path)
        after = os.path.getsize(path)
        cpu += r.cpu_seconds
        samples.extend(r.samples)
        print("append %d: exit %d, %d -> %d bytes, cpu %.1f s%s" % (
            turn + 1, r.code, before, after, r.cpu_seconds,
            (", said: " + r.stderr.strip()) if r.code != 0 else ""), flush=True)
        last = r
        if r.code != 0:
            if after < FOUR_GB - 2 * 1024 * 1024:
                failures.append("append failed at %d bytes, well before 4 GB: %s" % (after, r.stderr.strip()))
            break
    else:
        failures.append("the file never reached its limit")
        return
    wall = time.monotonic() - started
    size = os.path.getsize(path)
    if "memory is full" not in last.stderr:
        failures.append("the stop at the limit said: " + last.stderr.strip())
    if size >= FOUR_GB:
        failures.append("the file passed 4 GB: %d bytes" % size)
    # What the failing continuation wrote before the limit counts too: the header holds it all.
    appended = (size - base) / bytes_per_second
    expected = seed_seconds + appended
    duration, problem = probe_duration(path)
    errors = decode_errors(path)
    kb = [k for _, k in samples]
    print("adpcm_stop_bytes=%d (4 GB = %d, %d short of it)" % (size, FOUR_GB, FOUR_GB - size))
    print("adpcm_stop_message=%s" % last.stderr.strip())
    print("rss_min_kb=%s rss_max_kb=%s over %d samples" % (min(kb) if kb else None, max(kb) if kb else None,
                                                           len(kb)))
    print("ffprobe_duration=%s expected=%.1f appended_seconds=%.1f cpu_seconds_per_recorded_hour=%.1f "
          "wall_seconds=%.0f" % (duration, expected, appended, cpu / (appended / 3600), wall))
    if duration is None:
        failures.append("ffprobe on the ADPCM file: " + problem)
    elif abs(duration - expected) > 1.0:
        failures.append("ADPCM duration %.3f s is not the %.3f s written" % (duration, expected))
    if errors:
        failures.append("ffmpeg decoding the ADPCM file: " + errors[:500])
    first_hour = [k for minute, k in samples if minute < 60]
    last_hour = [k for minute, k in samples if minute >= appended / 60 - 60]
    if first_hour and last_hour and max(last_hour) - max(first_hour) > MAX_RSS_GROWTH_KB:
        failures.append("memory grew while continuing the ADPCM file: %d kB, then %d kB" % (
            max(first_hour), max(last_hour)))
    os.remove(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--hours", type=float, default=8)
    parser.add_argument("--work", default=None, help="a folder with room for about 8 GB (default: a temporary one)")
    parser.add_argument("--seed-hours", type=float, default=11,
                        help="length of the ADPCM file before it is continued (11 hours: just below 2 GB)")
    parser.add_argument("--only", choices=["mp3", "adpcm"], default=None)
    args = parser.parse_args()
    cli = os.path.abspath(os.path.join(args.build, "bin", "ravelin-cli"))
    if not os.access(cli, os.X_OK):
        sys.exit("no %s: build first (make build)" % cli)
    for tool in ("sox", "ffmpeg", "ffprobe"):
        if not shutil.which(tool):
            sys.exit("%s is needed (make deps)" % tool)
    failures = []
    with tempfile.TemporaryDirectory(prefix="ravelin-long-", dir=args.work) as work:
        microphone = make_microphone(work, args.hours)
        env = environment(work, microphone)
        if args.only in (None, "mp3"):
            long_mp3(cli, env, args.hours, failures)
        if args.only in (None, "adpcm"):
            long_adpcm(cli, env, work, args.hours, args.seed_hours, failures)
    for f in failures:
        print("FAILED: " + f)
    print("long run: %s" % ("FAILED" if failures else "passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
