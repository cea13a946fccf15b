#!/usr/bin/env python3
"""Makes the start and end beeps of a recording: Voicbeep.wav (one short rising tone) and RecEnd.wav (two
falling tones), 16-bit mono PCM at 22050 Hz, with soft edges so that they do not click.

    python3 data/make-beeps.py        # writes both files beside this script
"""
import math
import os
import struct
import wave

RATE = 22050
EDGE = 0.008  # seconds of fade at each end of a tone


def tone(frequency, seconds, volume=0.45):
    count = int(RATE * seconds)
    edge = int(RATE * EDGE)
    samples = []
    for i in range(count):
        gain = min(1.0, i / edge, (count - 1 - i) / edge)
        samples.append(int(32767 * volume * gain * math.sin(2 * math.pi * frequency * i / RATE)))
    return samples


def silence(seconds):
    return [0] * int(RATE * seconds)


def write(name, samples):
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), name)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


write("Voicbeep.wav", tone(880, 0.06) + silence(0.02) + tone(1320, 0.09))
write("RecEnd.wav", tone(988, 0.08) + silence(0.03) + tone(659, 0.14))
