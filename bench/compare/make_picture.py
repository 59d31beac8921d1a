#!/usr/bin/env python3
"""Write a deterministic, photograph-like 24-bit BMP for the relief benchmarks.

    make_picture.py WIDTH HEIGHT OUTPUT [--seed N] [--noise A]
                    [--grey-range LO HI] [--top-down]
    make_picture.py --worked-example OUTPUT

The picture is smooth light (a slanted gradient, a few slow waves and a soft
vignette), a fine wavy grain fading from left to right, a handful of soft-edged discs and rectangles of other brightness
and tint, and per-channel noise of +-A (default 6). The same arguments give
the same bytes on every machine: all randomness comes from random.Random(seed).

--grey-range LO HI squeezes every channel into LO ... HI (to exercise the
brightness range normalisation). --top-down writes a negative height (first
stored row at the top). --worked-example writes the 4 x 2 picture of the
relief generator's worked example (stored rows: black, white, white, grey 128;
white, white, black, black).

Standard library only.
"""

import argparse
import math
import random
import struct
import sys


def bmp_bytes(width, height, rows_bottom_up, top_down=False):
    """rows_bottom_up: `height` rows of width*3 bytes (B, G, R), bottom row first."""
    bytew = (width * 3 + 3) // 4 * 4
    pad = b"\0" * (bytew - width * 3)
    rows = list(rows_bottom_up)
    if top_down:
        rows.reverse()
    data = b"".join(r + pad for r in rows)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height,
                       1, 24, 0, len(data), 3780, 3780, 0, 0)
    return header + info + data


def photo_rows(width, height, seed, noise, lo, hi):
    """Yield the picture's rows top row first, each width*3 bytes (B, G, R)."""
    rnd = random.Random(seed)

    # Slow waves: separable so that each row costs one pass over its pixels.
    fx1 = rnd.uniform(0.8, 1.6)
    fy1 = rnd.uniform(0.6, 1.3)
    ph1, ph2 = rnd.uniform(0, math.tau), rnd.uniform(0, math.tau)
    wave_x = [math.sin(math.tau * fx1 * x / width + ph1) for x in range(width)]
    ramp_x = [x / max(width - 1, 1) for x in range(width)]
    vig_x = [((x - width / 2) / (width / 2)) ** 2 for x in range(width)]
    tint_x = [math.sin(math.tau * 0.7 * x / width) for x in range(width)]
    # Grain: a fine, wavy stripe texture (wood, fabric), strongest on the left.
    grain_period = max(4.0, width / 90)
    grain_x = [math.tau * x / grain_period for x in range(width)]
    grain_mask = [0.09 * (1 - x / width) ** 1.5 for x in range(width)]

    # Shapes: (kind, centre x, centre y, half width, half height, brightness shift, tint).
    shapes = []
    for _ in range(7):
        shapes.append(("disc", rnd.uniform(0, width), rnd.uniform(0, height),
                       rnd.uniform(0.05, 0.18) * min(width, height), 0.0,
                       rnd.uniform(-0.35, 0.35), rnd.uniform(-0.1, 0.1)))
    for _ in range(4):
        shapes.append(("rect", rnd.uniform(0, width), rnd.uniform(0, height),
                       rnd.uniform(0.04, 0.2) * width, rnd.uniform(0.04, 0.2) * height,
                       rnd.uniform(-0.3, 0.3), rnd.uniform(-0.1, 0.1)))
    soft = max(2.0, 0.01 * min(width, height))  # edge blur in pixels

    span = hi - lo
    nbits = 8 * 3 * width
    for y in range(height):
        wy = math.cos(math.tau * fy1 * y / height + ph2)
        ry = y / max(height - 1, 1)
        vy = ((y - height / 2) / (height / 2)) ** 2
        gy = 2.5 * math.sin(math.tau * y / (0.3 * height))
        light = [0.45 + 0.22 * wave_x[x] * wy + 0.25 * (ramp_x[x] - ry) * 0.8
                 - 0.12 * (vig_x[x] + vy) + grain_mask[x] * math.sin(grain_x[x] + gy)
                 for x in range(width)]
        tint = [0.06 * t * wy for t in tint_x]

        for kind, cx, cy, a, b, shift, tn in shapes:
            if kind == "disc":
                dy = abs(y - cy)
                if dy >= a + soft:
                    continue
                half = math.sqrt(max((a + soft) ** 2 - dy * dy, 0.0))
                x0, x1 = max(0, int(cx - half)), min(width, int(cx + half) + 1)
                for x in range(x0, x1):
                    d = math.hypot(x - cx, dy) - a
                    w = 1.0 if d <= -soft else max(0.0, min(1.0, 0.5 - d / (2 * soft)))
                    light[x] += shift * w
                    tint[x] += tn * w
            else:
                dy = abs(y - cy) - b
                if dy >= soft:
                    continue
                wy_edge = 1.0 if dy <= -soft else 0.5 - dy / (2 * soft)
                x0, x1 = max(0, int(cx - a - soft)), min(width, int(cx + a + soft) + 1)
                for x in range(x0, x1):
                    dx = abs(x - cx) - a
                    wx = 1.0 if dx <= -soft else max(0.0, min(1.0, 0.5 - dx / (2 * soft)))
                    w = wx * wy_edge
                    light[x] += shift * w
                    tint[x] += tn * w

        n = rnd.getrandbits(nbits).to_bytes(3 * width, "little")
        row = bytearray(3 * width)
        k = 2 * noise + 1
        for x in range(width):
            l, t = light[x], tint[x]
            o = 3 * x
            for c, v in ((0, l - t), (1, l), (2, l + t)):  # B, G, R
                v = int(lo + span * min(1.0, max(0.0, v))) + n[o + c] % k - noise
                row[o + c] = lo if v < lo else hi if v > hi else v
        yield bytes(row)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("size", nargs="*", help="WIDTH HEIGHT OUTPUT, or OUTPUT with --worked-example")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--noise", type=int, default=6)
    p.add_argument("--grey-range", type=int, nargs=2, default=(0, 255), metavar=("LO", "HI"))
    p.add_argument("--top-down", action="store_true")
    p.add_argument("--worked-example", action="store_true")
    a = p.parse_args(argv)

    if a.worked_example:
        if len(a.size) != 1:
            p.error("--worked-example takes OUTPUT only")
        k, w, g = b"\0\0\0", b"\xff\xff\xff", b"\x80\x80\x80"
        data = bmp_bytes(4, 2, [k + w + w + g, w + w + k + k], a.top_down)
        out = a.size[0]
    else:
        if len(a.size) != 3:
            p.error("WIDTH HEIGHT OUTPUT expected")
        width, height, out = int(a.size[0]), int(a.size[1]), a.size[2]
        lo, hi = a.grey_range
        if width < 1 or height < 1 or not 0 <= lo <= hi <= 255 or a.noise < 0:
            p.error("bad size, range or noise")
        rows = list(photo_rows(width, height, a.seed, a.noise, lo, hi))
        rows.reverse()  # BMP rows are stored bottom row first
        data = bmp_bytes(width, height, rows, a.top_down)
    with open(out, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
