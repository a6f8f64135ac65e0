#!/usr/bin/env python3
"""Draws the pictures of the widget scenarios (and of README's worked example) as PNG files
next to this script: a slider track and knob, a circular dial and its knob, a meter's gauge.
Run it again only to change them; the build makes widgets.bin from widgets.manifest."""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAGENTA = (255, 0, 255)  # the transparent key of the knobs


def write_png(name, w, h, pixel):
    rows = b"".join(b"\0" + bytes(c for x in range(w) for c in pixel(x, y)) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(png)


def track(x, y):
    # A grey bar with a dark groove along the middle and a black frame.
    if x in (0, 199) or y in (0, 19):
        return (0, 0, 0)
    if 8 <= y <= 11:
        return (64, 64, 64)
    return (192, 192, 192)


def disc(size, radius, inside, outside=MAGENTA):
    c = (size - 1) / 2

    def pixel(x, y):
        return inside if math.hypot(x - c, y - c) <= radius else outside
    return pixel


def dial(x, y):
    # A dark round plate on a white square, with a lighter ring where the knob runs.
    r = math.hypot(x - 59.5, y - 59.5)
    if r > 58:
        return (255, 255, 255)
    if 38 <= r <= 46:
        return (96, 96, 96)
    return (48, 48, 48)


def gauge(x, y):
    # A white face with a black rim and a tick every 30 degrees over the lower-open arc.
    dx, dy = x - 99.5, 99.5 - y
    r = math.hypot(dx, dy)
    if r > 97:
        return (128, 128, 128)
    if r > 93:
        return (0, 0, 0)
    if r > 80:
        a = math.degrees(math.atan2(dy, dx)) % 360
        for t in range(-45, 226, 30):
            if abs(((a - t + 180) % 360) - 180) < 1.5:
                return (0, 0, 0)
    return (255, 255, 255)


write_png("track.png", 200, 20, track)
write_png("knob.png", 20, 20, disc(20, 9.5, (0, 64, 255)))
write_png("dial.png", 120, 120, dial)
write_png("gauge.png", 200, 200, gauge)
write_png("vtrack.png", 20, 200, lambda x, y: track(y, x))
write_png("cknob.png", 16, 16, disc(16, 7.5, (255, 32, 32)))
