#!/usr/bin/env python3
"""Write the grey test pictures of the relief-quality group as 24-bit BMPs.

    relief_pictures.py KIND WIDTH HEIGHT OUTPUT

KIND is one of

    dome   smooth: a round cosine bump, black in the middle, white around it (bright cuts
           deepest: a dome standing on a flat floor)
    logo   sharp walls: black ground with a white ring, a white bar, a mid-grey block
           and a white triangle (two levels and the ground, walls one pixel wide)
    photo  photograph-like: make_picture.py's picture (seed 1) in grey
    flat   black everywhere (the target is the stock's top)
    step   black, with the upper right quarter white (to check the frame: X, Y and Z)

Every pixel has R = G = B, so the relief generator's grey (30/59/11) and PIL's luma
(299/587/114), which image-to-gcode reads, are the same value. Every picture except flat
spans grey 0 to 255, so the brightness range changes nothing and image-to-gcode without its
normalisation maps brightness the same way.

Standard library only; the same arguments give the same bytes on every machine.
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_picture import bmp_bytes, photo_rows  # noqa: E402


def dome(c, r, w, h):
    radius = 0.47 * min(w, h)
    d = math.hypot(c - (w - 1) / 2, r - (h - 1) / 2) / radius
    return 255 * math.sin(math.pi / 2 * min(d, 1.0)) ** 2


def logo(c, r, w, h):
    # in units of the height, so that the shapes keep their form at any size
    x, y = c / h, r / h
    d = math.hypot(x - 0.45, y - 0.5)
    if 0.25 <= d <= 0.4:
        return 255
    if 0.9 <= x <= 1.02 and 0.15 <= y <= 0.85:
        return 255
    if 1.1 <= x <= 1.28 and 0.1 <= y <= 0.45:
        return 128
    if 1.1 <= x <= 1.3 and 0.55 <= y <= 0.9 and (y - 0.55) <= (x - 1.1) * 1.75:
        return 255
    return 0


def grey_rows(value, width, height):
    """Rows bottom row first from value(column, row counted from the bottom)."""
    for r in range(height):
        row = bytearray()
        for c in range(width):
            v = max(0, min(255, int(round(value(c, r, width, height)))))
            row += bytes((v, v, v))
        yield bytes(row)


def photo_grey(width, height):
    top_first = [bytes(r) for r in photo_rows(width, height, 1, 6, 0, 255)]
    greys = [[(30 * row[3 * i + 2] + 59 * row[3 * i + 1] + 11 * row[3 * i]) // 100
              for i in range(width)] for row in top_first]
    lo = min(min(g) for g in greys)
    hi = max(max(g) for g in greys)
    span = max(hi - lo, 1)
    rows = []
    for g in reversed(greys):  # bottom row first
        rows.append(b"".join(bytes((v, v, v)) for v in ((x - lo) * 255 // span for x in g)))
    return rows


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    kind, width, height, out = argv[0], int(argv[1]), int(argv[2]), argv[3]
    if width < 2 or height < 2:
        sys.exit("relief_pictures.py: at least 2 x 2 pixels")
    if kind == "photo":
        rows = photo_grey(width, height)
    elif kind in ("dome", "logo"):
        rows = list(grey_rows(dome if kind == "dome" else logo, width, height))
    elif kind == "flat":
        rows = list(grey_rows(lambda c, r, w, h: 0, width, height))
    elif kind == "step":
        rows = list(grey_rows(lambda c, r, w, h: 255 if c >= w // 2 and r >= h // 2 else 0,
                              width, height))
    else:
        sys.exit(f"relief_pictures.py: unknown kind {kind}")
    with open(out, "wb") as f:
        f.write(bmp_bytes(width, height, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
