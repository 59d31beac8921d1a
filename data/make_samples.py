#!/usr/bin/env python3
"""Draws the bundled sample pictures (standard library only):
sample-logo.png      a logo-like shape: a ring around a diamond, with a soft shadow, 320 x 200, grey
sample-gradient.bmp  a left-to-right grey ramp under a vertical colour fade, 256 x 128, 24-bit
"""
import math
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent


def png_grey(path, width, height, pixel):
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # filter: none
        raw.extend(pixel(x, y) for x in range(width))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                     chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def bmp24(path, width, height, pixel):
    stride = (width * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in range(height - 1, -1, -1):  # bottom row first
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    path.write_bytes(b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + info + rows)


def logo(x, y):
    cx, cy = 160, 100
    d = math.hypot(x - cx, y - cy)
    shade = 235
    if abs(d - 70) < 14:  # the ring
        shade = 40
    elif abs(x - cx) + abs(y - cy) * 1.4 < 38:  # a diamond in the middle
        shade = 90
    elif math.hypot(x - cx - 6, y - cy - 6) < 84 and d > 84:  # a soft shadow outside
        shade = 180
    return shade


def gradient(x, y):
    grey = x
    fade = y / 127
    return (int(grey * (1 - fade) + 255 * fade * x / 255), grey, int(grey * (1 - 0.5 * fade)))


if __name__ == "__main__":
    png_grey(HERE / "sample-logo.png", 320, 200, logo)
    bmp24(HERE / "sample-gradient.bmp", 256, 128, gradient)
