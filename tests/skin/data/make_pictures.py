#!/usr/bin/env python3
# Writes the PNG pictures of the test skins (run by hand; the PNGs are kept beside it).
# grid.png: 10 x 10, pixel (x, y) = red 20x, green 20y, blue 0, opaque.
# key.png: 2 x 1, a fully transparent pixel, then opaque pure magenta.
# frame.png: see below.
import struct
import zlib


def png(path, width, height, pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


png("grid.png", 10, 10, lambda x, y: (20 * x, 20 * y, 0, 255))
png("key.png", 2, 1, lambda x, y: (0, 0, 0, 0) if x == 0 else (255, 0, 255, 255))


# frame.png: 12 x 12, a 3-pixel light border around a dark middle, the four corner pixels transparent.
def frame(x, y):
    if (x in (0, 11)) and (y in (0, 11)):
        return (0, 0, 0, 0)
    if x < 3 or x > 8 or y < 3 or y > 8:
        return (200, 200, 200, 255)
    return (60, 60, 90, 255)


png("frame.png", 12, 12, frame)
